#include "javaruntime/version_number.h"

#include <gtest/gtest.h>

#include <clocale>

#include "platform/text.h"
#include "tests/common/error_of.h"

namespace tolvarin::javaruntime {
namespace {

using tolvarin::testing::ErrorOf;

// Three characters, not bytes ("1.4.2_06" reads as 1.4 end to end, among ASCII names).
TEST(VersionTextTest, CountsCharacters) { EXPECT_EQ(VersionText("\xC3\xBC" "1.5"), "\xC3\xBC" "1."); }

// Under the C locale and under one that writes 1,5: only a plain decimal with a point is
// a number ("1e5" would otherwise pass as 100000 and pick a runtime by accident).
TEST(VersionNumberTest, ReadsPlainDecimalsWhateverTheLocale) {
  const struct {
    const char* text;
    double expected;  // < 0: Type mismatch
  } kCases[] = {
      {"1.4", 1.4}, {"10", 10.0}, {"1.", 1.0}, {".5", 0.5},
      {"", -1}, {"1,5", -1}, {"1..", -1}, {".", -1}, {" 9", -1}, {"-1.", -1}, {"1e5", -1},
  };
  const String previous = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "de_DE.UTF-8", "German_Germany.1252"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;  // not installed here
    SCOPED_TRACE(locale);
    for (const auto& c : kCases) {
      SCOPED_TRACE(c.text);
      if (c.expected < 0) {
        EXPECT_EQ(ErrorOf(VersionNumber(c.text)), "13 Type mismatch");
      } else {
        EXPECT_EQ(*VersionNumber(c.text), c.expected);
      }
    }
  }
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace tolvarin::javaruntime
