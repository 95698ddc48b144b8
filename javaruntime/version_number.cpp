#include "javaruntime/version_number.h"

#include <cstdint>
#include <string_view>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::javaruntime {
namespace {

constexpr size_t kVersionTextLength = 3;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Version texts are at most a few characters; 15 digits keep the digits exact in a double.
constexpr int kMaxDigits = 15;

}  // namespace

String VersionText(std::string_view subkey_name) {
  size_t characters = 0;
  size_t end = 0;
  while (end < subkey_name.size()) {
    if (!IsUtf8Continuation(subkey_name[end]) && characters++ == kVersionTextLength) break;
    ++end;
  }
  return String(subkey_name.substr(0, end));
}

platform::Result<double> VersionNumber(std::string_view text) {
  // Read by hand rather than with strtod or a stream, which take the decimal separator
  // from the locale and read "1.5" as 1 where it is a comma. The digits, as one integer,
  // divided by the power of ten of the fraction: both exact, so the quotient is the
  // correctly rounded value, as a conversion of the text would give.
  std::uint64_t digits = 0;
  int digit_count = 0;
  int fraction_digits = 0;
  bool point = false;
  bool valid = !text.empty();
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9' && digit_count < kMaxDigits) {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      ++digit_count;
      if (point) ++fraction_digits;
    } else {
      valid = false;
      break;
    }
  }
  if (!valid || digit_count == 0) {
    return platform::Error(platform::kTypeMismatchError, platform::kTypeMismatchText);
  }
  double scale = 1;
  for (int i = 0; i < fraction_digits; ++i) scale *= 10;
  return static_cast<double>(digits) / scale;
}

}  // namespace tolvarin::javaruntime
