// The same scenarios against the real registry (Windows test, under Wine) and against the
// export-file store (Linux test): both must give these results, from the same fixtures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "platform/text.h"
#include "platform/vector.h"
#include "registry/registry.h"
#include "tests/common/error_of.h"
#ifndef _WIN32
#include <fstream>

#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#endif

namespace tolvarin::registry {
namespace {

using ::testing::ElementsAreArray;
using tolvarin::testing::ErrorOf;
using platform::Result;

const String kTestKey = "SOFTWARE\\TolvarinTest";
const String kValues = kTestKey + "\\Values";
const String kAnsi = kTestKey + "\\Ansi";
const String kOrder = kTestKey + "\\Order";

Variant Text(String text) { return Variant(std::move(text)); }

// The long values of the fixtures: their bytes run through this pattern.
Variant::Bytes PatternBytes(size_t size) {
  Variant::Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
  return bytes;
}
String PatternText(size_t length) {
  const String alphabet = "0123456789abcdefghijklmnopqrstuvwxyz";
  String text;
  for (size_t i = 0; i < length; ++i) text += alphabet[i % alphabet.size()];
  return text;
}

// On Windows the real registry, into which ctest imported the fixtures with `reg import`;
// elsewhere the store loaded from the same files in the same order.
std::unique_ptr<RegistryApi> ScenarioRegistry() {
#ifdef _WIN32
  return MakeNativeRegistryApi().value();  // never fails on Windows
#else
  static const std::shared_ptr<const RegFileStore> store = [] {
    auto imported = std::make_shared<RegFileStore>();
    for (const char* name : {"unicode_export.reg", "ansi_export.reg"}) {
      const String path = String(TOLVARIN_REGISTRY_FIXTURES) + "/" + name;
      std::ifstream file(path.c_str(), std::ios::binary);
      EXPECT_TRUE(imported->Import(String(std::istreambuf_iterator<char>(file), {}), path).ok());
    }
    return imported;
  }();
  return std::make_unique<RegFileRegistryApi>(store);
#endif
}

class RegistryScenarios : public ::testing::Test {
 protected:
  const std::unique_ptr<RegistryApi> registry_ = ScenarioRegistry();
  RegistryApi& api_ = *registry_;
};

TEST_F(RegistryScenarios, KeyExists) {
  struct Case {
    const char* description;
    String path;
    bool exists;
  };
  const Vector<Case> cases = {
      {"names compare without regard to case", "software\\TOLVARINTEST\\values", true},
      {"missing below an existing key", kTestKey + "\\Missing", false},
      {"non-ASCII name inside the code page", kOrder + "\\Gr\xC3\xB6\xC3\x9F" "e", true},
      {"name outside the code page cannot be opened by its ANSI form",
       kOrder + "\\\xE6\x97\xA5\xE6\x9C\xAC", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(RegistryKeyExists(api_, kHkeyLocalMachine, c.path), c.exists);
  }
}

TEST_F(RegistryScenarios, ListsSubkeysInRegistryOrder) {
  struct Case {
    const char* description;
    String path;
    Vector<String> names;
  };
  const Vector<Case> cases = {
      {"sorted by lower case, so '_' before the letters; outside the code page as '?'", kOrder,
       {"10", "9", "_under", "Alpha", "beta", "delta", "GAMMA", "Gr\xC3\xB6\xC3\x9F" "e",
        String(255, 'L'), "zebra", "\xC3\x84pfel", "??"}},
      {"first spelling kept; deleted tree gone", kTestKey,
       {"Ansi", "Duplicates", "Order", "Values"}},
      {"key created through a lower-case path, sibling tree deleted", kAnsi, {"Kept"}},
      {"missing key", kTestKey + "\\Missing", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const SubkeyList list = *ListRegistrySubkeys(api_, kHkeyLocalMachine, c.path);
    EXPECT_THAT(Vector<String>(list.begin(), list.end()), ElementsAreArray(c.names));
  }
}

// "ab" and "\u0100b", which reads "Ab" in ANSI.
TEST_F(RegistryScenarios, NamesThatReadTheSameInAnsiButForCaseAreADuplicateKey) {
  EXPECT_EQ(ErrorOf(ListRegistrySubkeys(api_, kHkeyLocalMachine, kTestKey + "\\Duplicates")),
            "457 This key is already associated with an element of this collection");
}

TEST_F(RegistryScenarios, ReadsValuesByType) {
  struct Case {
    const char* description;
    String path;
    String name;
    std::optional<Variant> expected;  // nullopt: error 1001
  };
  using Bytes = Variant::Bytes;
  const Vector<Case> cases = {
      {"default value", kValues, "", Text("default text")},
      {"value names compare without regard to case", kValues, "sZ", Text("abc")},
      {"REG_SZ holding only its terminator", kValues, "SzEmpty", Text("")},
      {"REG_SZ of 0 bytes", kValues, "SzZeroBytes", Text("")},
      {"escapes", kValues, "SzEscapes", Text("quote \" backslash \\ cr\r lf\n tab\tend")},
      {"REG_EXPAND_SZ, not expanded", kValues, "ExpandSz", Text("%SystemRoot%\\x")},
      {"REG_EXPAND_SZ given without terminator", kValues, "ExpandSzNoNul", Text("%TEMP%")},
      {"REG_MULTI_SZ keeps the NUL between strings", kValues, "MultiSz",
       Text(String("a\0b", 3))},
      {"REG_MULTI_SZ of no strings", kValues, "MultiSzEmpty", Text("")},
      {"REG_DWORD FFFFFFFF is -1", kValues, "DwordMinus1", Variant(std::int32_t{-1})},
      {"REG_DWORD of fewer than 8 digits", kValues, "DwordShort", Variant(std::int32_t{123})},
      {"REG_DWORD of two bytes", kValues, "DwordTwoBytes", Variant(std::int32_t{0x0201})},
      {"REG_BINARY", kValues, "Binary3", Variant(Bytes{0x01, 0x00, 0xFF})},
      {"REG_BINARY of 1024 bytes: one query", kValues, "Binary1024", Variant(PatternBytes(1024))},
      {"REG_BINARY of 1025 bytes: second query", kValues, "Binary1025",
       Variant(PatternBytes(1025))},
      {"REG_SZ of 1024 bytes: one query", kValues, "Sz1024", Text(PatternText(1023))},
      {"REG_SZ of 1025 bytes: second query", kValues, "Sz1025", Text(PatternText(1024))},
      {"non-ASCII name and data in the code page", kValues, "Gr\xC3\xBC\xC3\x9F" "e",
       Text("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xC3\xBF")},
      {"outside the code page: Windows' best fit, else '?'", kValues, "Outside",
       Text("Omega ?????? ?? ??")},
      {"value of the second file", kValues, "FromSecondFile", Variant(std::int32_t{42})},
      {"ANSI file: Windows-1252 text", kAnsi, "Caf\xC3\xA9",
       Text("na\xC3\xAFve fa\xC3\xA7" "ade \xE2\x80\x93 12 \xE2\x82\xAC")},
      {"ANSI file: hex(1) gets its terminator", kAnsi, "HexSz", Text("abc")},
      {"ANSI file: hex(1) in the code page", kAnsi, "HexSzAnsi", Text("\xC3\xA9\xE2\x82\xAC")},
      {"ANSI file: hex(7)", kAnsi, "HexMulti", Text(String("one\0two", 7))},
      {"ANSI file: hex(7) without terminators", kAnsi, "HexMultiNoNul",
       Text(String("one\0two", 7))},
      {"ANSI file: hex continued over lines and a comment", kAnsi, "ContinuedBinary",
       Variant(Bytes{0, 1, 2, 3, 4, 5})},
      {"ANSI file: blanks inside quotes kept", kAnsi, "  spaced name  ", Text("  spaced data  ")},
      {"missing key: empty, no error", kTestKey + "\\Missing", "JavaHome", Variant()},
      {"REG_DWORD_BIG_ENDIAN", kValues, "BigEndian", std::nullopt},
      {"type 11", kValues, "Type11", std::nullopt},
      {"missing value", kValues, "Missing", std::nullopt},
      {"value deleted by the file", kAnsi, "Deleted", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const Result<Variant> value = ReadRegistryValue(api_, kHkeyLocalMachine, c.path, c.name);
    EXPECT_EQ(ErrorOf(value), c.expected ? "no error" : "1001 Unsupported value type");
    EXPECT_EQ(value.ok() ? *value : Variant(), c.expected.value_or(Variant()));
  }
}

}  // namespace
}  // namespace tolvarin::registry
