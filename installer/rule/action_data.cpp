#include "installer/rule/action_data.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "installer/rule/local_folder.h"

namespace tolvarin::installer {
namespace {

WString Decimal(std::size_t value) {
  const String digits = DecimalString(static_cast<long long>(value));
  return WString(digits.begin(), digits.end());
}

// `text` in UTF-8, with an unpaired surrogate (or, where wchar_t is wider, no character at all)
// as U+FFFD, as Windows converts it.
String Utf8(const WString& text) {
  String utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    const auto low = [&](std::size_t at) {
      return at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF;
    };
    if (c >= 0xD800 && c <= 0xDBFF && low(i + 1)) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    utf8 += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6) {
      utf8 += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
    }
  }
  return utf8;
}

}  // namespace

Vector<WString> Split(const WString& text, wchar_t separator) {
  Vector<WString> parts;
  WString::size_type start = 0;
  for (WString::size_type end; (end = text.find(separator, start)) != WString::npos;
       start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

WString Shown(WString text) {
  std::replace_if(text.begin(), text.end(), [](wchar_t c) { return c < L' '; }, L'?');
  return text;
}

std::optional<Vector<Line>> Lines(const WString& data, std::span<const LineShape> shapes,
                                  WString& problem) {
  Vector<Line> lines;
  Vector<std::size_t> counts(shapes.size(), 0);
  for (const WString& text : Split(data, kCommandSeparator)) {
    Line line = Split(text, kArgumentSeparator);
    const auto shape = std::find_if(shapes.begin(), shapes.end(), [&](const LineShape& s) {
      return line[0] == s.command;
    });
    if (shape == shapes.end()) {
      problem = L"a line that is none of its commands: " + Shown(text);
      return std::nullopt;
    }
    const std::size_t arguments = line.size() - 1;
    if (arguments < shape->fewest_arguments || arguments > shape->most_arguments) {
      problem = Shown(line[0]) + L" with " + Decimal(arguments) + L" arguments";
      return std::nullopt;
    }
    if (lines.empty() && shape != shapes.begin()) {
      problem = L"a first line that is not " + WString(shapes[0].command);
      return std::nullopt;
    }
    ++counts[static_cast<std::size_t>(shape - shapes.begin())];
    lines.push_back(std::move(line));
  }
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    if (counts[i] < shapes[i].fewest_lines || counts[i] > shapes[i].most_lines) {
      problem = Decimal(counts[i]) + L" lines of " + shapes[i].command;
      return std::nullopt;
    }
  }
  return lines;
}

String ValueProblem(const WString& value) { return LocalFolderProblem(Utf8(value)); }

}  // namespace tolvarin::installer
