#include "javaruntime/version_number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/error.h"

namespace tolvarin::javaruntime {
namespace {

TEST(VersionTextTest, TakesTheFirstThreeCharacters) {
  const struct {
    const char* name;
    const char* expected;
  } kCases[] = {
      {"1.4.2_06", "1.4"},
      {"1.5.0_06", "1.5"},
      {"1.10", "1.1"},
      {"1.5", "1.5"},
      {"9", "9"},
      {"", ""},
      {"\xC3\xBC" "1.5", "\xC3\xBC" "1."},  // characters, not bytes: "ü1."
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VersionText(c.name), c.expected);
  }
}

TEST(VersionNumberTest, ReadsPlainDecimals) {
  const struct {
    const char* text;
    double expected;
  } kCases[] = {
      {"1.4", 1.4}, {"1.5", 1.5}, {"1.6", 1.6}, {"1.1", 1.1},
      {"9", 9.0},   {"10", 10.0}, {"1.", 1.0},  {".5", 0.5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(VersionNumber(c.text), c.expected);
  }
}

TEST(VersionNumberTest, RejectsWhatIsNotAPlainDecimal) {
  // "1e5" would otherwise pass as 100000 and pick a runtime by accident.
  for (const char* text : {"", "abc", "1,5", "1..", ".", " 9", "9 ", "-1.", "+1.", "1e5",
                           "0x1", "inf", "\xC3\xBC" "1."}) {
    SCOPED_TRACE(text);
    try {
      VersionNumber(text);
      ADD_FAILURE() << "no error";
    } catch (const platform::Error& error) {
      EXPECT_EQ(error.number(), 13);
      EXPECT_EQ(error.description(), "Type mismatch");
    }
  }
}

// Switches the process's C locale to one that writes 1,5, and back.
class CommaDecimalLocale {
 public:
  CommaDecimalLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "German_Germany.1252"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        name_ = name;
        return;
      }
    }
  }
  ~CommaDecimalLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  const std::string& name() const { return name_; }

 private:
  std::string previous_;
  std::string name_;
};

TEST(VersionNumberTest, IgnoresACommaDecimalLocale) {
  const CommaDecimalLocale locale;
  if (locale.name().empty()) GTEST_SKIP() << "no German locale installed (localedef -i de_DE)";
  // The fault this guards against: a locale-aware reading of "1.5" stops at the point.
  ASSERT_EQ(std::strtod("1.5", nullptr), 1.0) << locale.name();

  EXPECT_EQ(VersionNumber("1.4"), 1.4);
  EXPECT_EQ(VersionNumber("1.5"), 1.5);
  EXPECT_THROW(VersionNumber("1,5"), platform::Error);
}

}  // namespace
}  // namespace tolvarin::javaruntime
