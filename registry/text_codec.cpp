#include "registry/text_codec.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tolvarin::registry {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; the undefined ones keep their own number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool InRange(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

// In alphabets that alternate capital and small letters, the capital is the even unit
// (`capital_even`) or the odd one.
char16_t LowerOfPair(char16_t c, bool capital_even) {
  const bool is_odd = (c & 1) != 0;
  return is_odd == capital_even ? c : static_cast<char16_t>(c + 1);
}

char16_t LowerCase(char16_t c) {
  if (c < 0x80) return InRange(c, u'A', u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c < 0x100) return InRange(c, 0xC0, 0xDE) && c != 0xD7 ? static_cast<char16_t>(c + 0x20) : c;
  if (InRange(c, 0x100, 0x12F) || InRange(c, 0x132, 0x137) || InRange(c, 0x14A, 0x177)) {
    return LowerOfPair(c, true);
  }
  if (InRange(c, 0x139, 0x148) || InRange(c, 0x179, 0x17E)) return LowerOfPair(c, false);
  if (c == 0x178) return 0xFF;
  if (InRange(c, 0x391, 0x3AB)) return c == 0x3A2 ? c : static_cast<char16_t>(c + 0x20);
  if (c == 0x386) return 0x3AC;
  if (InRange(c, 0x388, 0x38A)) return static_cast<char16_t>(c + 0x25);
  if (c == 0x38C) return 0x3CC;
  if (InRange(c, 0x38E, 0x38F)) return static_cast<char16_t>(c + 0x3F);
  if (InRange(c, 0x400, 0x40F)) return static_cast<char16_t>(c + 0x50);
  if (InRange(c, 0x410, 0x42F)) return static_cast<char16_t>(c + 0x20);
  if (InRange(c, 0x460, 0x481) || InRange(c, 0x48A, 0x4BF) || InRange(c, 0x4D0, 0x52F)) {
    return LowerOfPair(c, true);
  }
  if (InRange(c, 0x4C1, 0x4CE)) return LowerOfPair(c, false);
  if (c == 0x4C0) return 0x4CF;
  if (InRange(c, 0x531, 0x556)) return static_cast<char16_t>(c + 0x30);
  if (InRange(c, 0x1E00, 0x1E95) || InRange(c, 0x1EA0, 0x1EFF)) return LowerOfPair(c, true);
  if (InRange(c, 0xFF21, 0xFF3A)) return static_cast<char16_t>(c + 0x20);
  return c;
}

struct BestFit {
  char16_t unit;
  unsigned char ansi;
};
constexpr BestFit kBestFit1252[] = {
#include "registry/best_fit_1252.inc"
};

// The Windows-1252 byte of `unit`, or nothing when the code page lacks it.
int Windows1252Byte(char16_t unit) {
  if (unit < 0x80 || InRange(unit, 0xA0, 0xFF)) return unit;
  for (int k = 0; k < 32; ++k) {
    if (kWindows1252High[k] == unit) return 0x80 + k;
  }
  return -1;
}

String EncodeWindows1252(std::u16string_view utf16, bool best_fit) {
  String out;
  out.reserve(utf16.size());
  for (const char16_t unit : utf16) {
    int byte = Windows1252Byte(unit);
    if (byte < 0 && best_fit) {
      const auto* end = std::end(kBestFit1252);
      const auto* found = std::lower_bound(
          std::begin(kBestFit1252), end, unit,
          [](const BestFit& entry, char16_t wanted) { return entry.unit < wanted; });
      if (found != end && found->unit == unit) byte = found->ansi;
    }
    out.push_back(static_cast<char>(byte < 0 ? '?' : byte));
  }
  return out;
}

void AppendUtf8(String& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t c) { return InRange(c, 0xD800, 0xDBFF); }
bool IsLowSurrogate(char16_t c) { return InRange(c, 0xDC00, 0xDFFF); }

}  // namespace

U16String Utf8ToUtf16(std::string_view utf8) {
  U16String out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    std::uint32_t minimum = 0;
    if (InRange(lead, 0xC2, 0xDF)) {
      length = 2;
      minimum = 0x80;
    } else if (InRange(lead, 0xE0, 0xEF)) {
      length = 3;
      minimum = 0x800;
    } else if (InRange(lead, 0xF0, 0xF4)) {
      length = 4;
      minimum = 0x10000;
    }
    std::uint32_t code_point = length == 0 ? 0 : lead & (0x7F >> length);
    bool valid = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code_point = (code_point << 6) | (next & 0x3F);
    }
    valid = valid && code_point >= minimum && code_point <= 0x10FFFF &&
            !(code_point >= 0xD800 && code_point <= 0xDFFF);
    if (!valid) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (code_point >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (code_point & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code_point));
    }
    i += length;
  }
  return out;
}

String Utf16ToUtf8(std::u16string_view utf16) {
  String out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (IsHighSurrogate(unit) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
      AppendUtf8(out, 0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) +
                          (static_cast<std::uint32_t>(utf16[++i]) - 0xDC00));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

U16String Windows1252ToUtf16(std::string_view ansi) {
  U16String out;
  out.reserve(ansi.size());
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(InRange(byte, 0x80, 0x9F) ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

String Utf16ToWindows1252(std::u16string_view utf16) {
  return EncodeWindows1252(utf16, false);
}

String Utf16ToWindows1252BestFit(std::u16string_view utf16) {
  return EncodeWindows1252(utf16, true);
}

U16String FoldCase(std::u16string_view name) {
  U16String folded(name);
  for (char16_t& unit : folded) unit = LowerCase(unit);
  return folded;
}

}  // namespace tolvarin::registry
