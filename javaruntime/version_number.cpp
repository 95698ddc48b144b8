#include "javaruntime/version_number.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/error.h"

namespace tolvarin::javaruntime {
namespace {

constexpr size_t kVersionTextLength = 3;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool IsPlainDecimal(std::string_view text) {
  int points = 0;
  bool digit = false;
  for (const char c : text) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  return digit && points <= 1;
}

}  // namespace

std::string VersionText(std::string_view subkey_name) {
  size_t characters = 0;
  size_t end = 0;
  while (end < subkey_name.size()) {
    if (!IsUtf8Continuation(subkey_name[end]) && characters++ == kVersionTextLength) break;
    ++end;
  }
  return std::string(subkey_name.substr(0, end));
}

double VersionNumber(std::string_view text) {
  // from_chars ignores the locale, unlike strtod and stream extraction, which read
  // "1.5" as 1 where the decimal separator is a comma.
  double number = 0;
  if (IsPlainDecimal(text)) {
    const char* const end = text.data() + text.size();
    const std::from_chars_result result =
        std::from_chars(text.data(), end, number, std::chars_format::fixed);
    if (result.ec == std::errc() && result.ptr == end) return number;
  }
  throw platform::Error(kTypeMismatchError, kTypeMismatchText);
}

}  // namespace tolvarin::javaruntime
