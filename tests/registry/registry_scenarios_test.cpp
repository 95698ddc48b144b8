// The same scenarios against the real registry (Windows test, under Wine) and against the
// export-file store (Linux test): both must give these results, from the same fixtures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry/registry.h"
#include "tests/common/error_of.h"
#include "tests/registry/scenario_backend.h"

namespace tolvarin::registry {
namespace {

using ::testing::ElementsAreArray;
using testing::MakeScenarioRegistry;
using tolvarin::testing::ErrorOf;

const std::string kTestKey = "SOFTWARE\\TolvarinTest";
const std::string kRuntimes = kTestKey + "\\JavaSoft\\Java Runtime Environment";
const std::string kValues = kTestKey + "\\Values";
const std::string kAnsi = kTestKey + "\\Ansi";
const std::string kOrder = kTestKey + "\\Order";
constexpr std::uint32_t kEnumBufferSize = 260;

// The fixtures' generated data, as make_fixtures.py writes it.
Variant::Bytes PatternBytes(size_t size) {
  Variant::Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 1) % 251);
  return bytes;
}
std::string PatternText(size_t length) {
  const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string text;
  for (size_t i = 0; i < length; ++i) text += alphabet[i % alphabet.size()];
  return text;
}

constexpr long kErrorInvalidHandle = 6;

// Passes the calls on to the backend, counting the keys opened and not yet closed, and
// checks that the backend no longer knows a handle once it is closed.
class KeyCountingApi final : public RegistryApi {
 public:
  explicit KeyCountingApi(std::unique_ptr<RegistryApi> backend) : backend_(std::move(backend)) {}

  long OpenKey(KeyHandle parent, const std::string& path, std::uint32_t access,
               KeyHandle* opened) override {
    const long status = backend_->OpenKey(parent, path, access, opened);
    if (status == kErrorSuccess) ++open_keys_;
    return status;
  }
  long EnumKey(KeyHandle key, std::uint32_t index, char* name, std::uint32_t size) override {
    return backend_->EnumKey(key, index, name, size);
  }
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override {
    return backend_->QueryValue(key, name, type, data, size);
  }
  void CloseKey(KeyHandle key) override {
    backend_->CloseKey(key);
    --open_keys_;
    const auto low_word = static_cast<std::uint32_t>(key);
    if (low_word >= 0x80000000u && low_word <= 0x8000000Fu) return;  // roots stay valid
    char name[kEnumBufferSize];
    EXPECT_EQ(backend_->EnumKey(key, 0, name, kEnumBufferSize), kErrorInvalidHandle)
        << "handle still usable after CloseKey";
  }
  std::string Utf8ToAnsi(const std::string& utf8) const override {
    return backend_->Utf8ToAnsi(utf8);
  }
  std::string AnsiToUtf8(const std::string& ansi) const override {
    return backend_->AnsiToUtf8(ansi);
  }

  int open_keys() const { return open_keys_; }

 private:
  std::unique_ptr<RegistryApi> backend_;
  int open_keys_ = 0;
};

class RegistryScenarios : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(api_->open_keys(), 0) << "a registry key was left open"; }

  std::unique_ptr<KeyCountingApi> api_ = std::make_unique<KeyCountingApi>(MakeScenarioRegistry());
};

TEST_F(RegistryScenarios, KeyExists) {
  struct Case {
    const char* description;
    KeyHandle root;
    std::string path;
    bool exists;
  };
  const std::vector<Case> cases = {
      {"runtimes key", kHkeyLocalMachine, kRuntimes, true},
      {"runtime version key", kHkeyLocalMachine, kRuntimes + "\\1.5.0_06", true},
      {"names compare without regard to case", kHkeyLocalMachine, "software\\TOLVARINTEST\\values",
       true},
      {"trailing backslash", kHkeyLocalMachine, kTestKey + "\\", true},
      {"empty path names the root itself", kHkeyLocalMachine, "", true},
      {"missing key", kHkeyLocalMachine, kTestKey + "\\Missing", false},
      {"missing below an existing key", kHkeyLocalMachine, kRuntimes + "\\1.7", false},
      {"non-ASCII name inside the code page", kHkeyLocalMachine,
       kOrder + "\\Gr\xC3\xB6\xC3\x9F" "e", true},
      {"name outside the code page cannot be opened by its ANSI form", kHkeyLocalMachine,
       kOrder + "\\\xE6\x97\xA5\xE6\x9C\xAC", false},
      {"unknown root handle", 0x80000042, "SOFTWARE", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(RegistryKeyExists(*api_, c.root, c.path), c.exists);
  }
}

TEST_F(RegistryScenarios, ListsSubkeysInRegistryOrder) {
  struct Case {
    const char* description;
    std::string path;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"runtime versions, sorted though written out of order", kRuntimes,
       {"1.4", "1.4.2_06", "1.5", "1.5.0_06", "1.6"}},
      {"sorted by lower case, so '_' before the letters; outside the code page as '?'", kOrder,
       {"10", "9", "_under", "Alpha", "beta", "delta", "GAMMA", "Gr\xC3\xB6\xC3\x9F" "e",
        std::string(255, 'L'), "zebra", "\xC3\x84pfel", "??"}},
      {"first spelling kept; deleted tree gone", kTestKey,
       {"Ansi", "Duplicates", "Empty", "JavaSoft", "Order", "Values"}},
      {"key created through a lower-case path, sibling tree deleted", kAnsi, {"Kept"}},
      {"key without subkeys", kTestKey + "\\Empty", {}},
      {"missing key", kTestKey + "\\Missing", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const SubkeyList list = ListRegistrySubkeys(*api_, kHkeyLocalMachine, c.path);
    EXPECT_THAT(std::vector<std::string>(list.begin(), list.end()), ElementsAreArray(c.names));
  }
}

TEST_F(RegistryScenarios, EmptyPathListsTheCallersKeyAndLeavesItOpen) {
  KeyHandle order = 0;
  ASSERT_EQ(api_->OpenKey(kHkeyLocalMachine, kOrder, kKeyRead, &order), kErrorSuccess);
  const SubkeyList list = ListRegistrySubkeys(*api_, order, "");
  EXPECT_EQ(std::distance(list.begin(), list.end()), 12);
  char name[kEnumBufferSize];
  EXPECT_EQ(api_->EnumKey(order, 0, name, kEnumBufferSize), kErrorSuccess) << "handle was closed";
  EXPECT_STREQ(name, "10");
  api_->CloseKey(order);
}

TEST_F(RegistryScenarios, NamesThatReadTheSameInAnsiAreADuplicateKey) {
  EXPECT_EQ(ErrorOf([&] { ListRegistrySubkeys(*api_, kHkeyLocalMachine, kTestKey + "\\Duplicates"); }),
            "457 This key is already associated with an element of this collection");
}

TEST_F(RegistryScenarios, ReadsValuesByType) {
  struct Case {
    const char* description;
    std::string path;
    std::string name;
    Variant expected;
  };
  using Bytes = Variant::Bytes;
  const std::vector<Case> cases = {
      {"default value", kValues, "", Variant(std::string("default text"))},
      {"REG_SZ", kValues, "Sz", Variant(std::string("abc"))},
      {"value names compare without regard to case", kValues, "sZ", Variant(std::string("abc"))},
      {"REG_SZ holding only its terminator", kValues, "SzEmpty", Variant(std::string())},
      {"REG_SZ of 0 bytes", kValues, "SzZeroBytes", Variant(std::string())},
      {"escapes", kValues, "SzEscapes",
       Variant(std::string("quote \" backslash \\ cr\r lf\n tab\tend"))},
      {"REG_EXPAND_SZ, not expanded", kValues, "ExpandSz", Variant(std::string("%SystemRoot%\\x"))},
      {"REG_EXPAND_SZ given without terminator", kValues, "ExpandSzNoNul",
       Variant(std::string("%TEMP%"))},
      {"REG_EXPAND_SZ outside ASCII", kValues, "ExpandSzUnicode",
       Variant(std::string("Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC"))},
      {"REG_MULTI_SZ keeps the NUL between strings", kValues, "MultiSz",
       Variant(std::string("a\0b", 3))},
      {"REG_MULTI_SZ of no strings", kValues, "MultiSzEmpty", Variant(std::string())},
      {"REG_DWORD 1", kValues, "Dword1", Variant(std::int32_t{1})},
      {"REG_DWORD FFFFFFFF is -1", kValues, "DwordMinus1", Variant(std::int32_t{-1})},
      {"REG_DWORD of fewer than 8 digits", kValues, "DwordShort", Variant(std::int32_t{123})},
      {"REG_DWORD of two bytes", kValues, "DwordTwoBytes", Variant(std::int32_t{0x0201})},
      {"REG_BINARY of 0 bytes", kValues, "Binary0", Variant(Bytes{})},
      {"REG_BINARY of 3 bytes", kValues, "Binary3", Variant(Bytes{0x01, 0x00, 0xFF})},
      {"REG_BINARY of 1024 bytes: one query", kValues, "Binary1024", Variant(PatternBytes(1024))},
      {"REG_BINARY of 1025 bytes: second query", kValues, "Binary1025",
       Variant(PatternBytes(1025))},
      {"REG_SZ of 1024 bytes: one query", kValues, "Sz1024", Variant(PatternText(1023))},
      {"REG_SZ of 1025 bytes: second query", kValues, "Sz1025", Variant(PatternText(1024))},
      {"non-ASCII name and data in the code page", kValues, "Gr\xC3\xBC\xC3\x9F" "e",
       Variant(std::string("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xC3\xBF"))},
      {"outside the code page: Windows' best fit, else '?'", kValues, "Outside",
       Variant(std::string("Omega ?????? ?? ??"))},
      {"value of the second file", kValues, "FromSecondFile", Variant(std::int32_t{42})},
      {"runtime home", kRuntimes + "\\1.5", "JavaHome",
       Variant(std::string("C:\\Program Files\\Java\\jre1.5.0_06"))},
      {"ANSI file: Windows-1252 text", kAnsi, "Caf\xC3\xA9",
       Variant(std::string("na\xC3\xAFve fa\xC3\xA7" "ade \xE2\x80\x93 12 \xE2\x82\xAC"))},
      {"ANSI file: hex(1) gets its terminator", kAnsi, "HexSz", Variant(std::string("abc"))},
      {"ANSI file: hex(1) in the code page", kAnsi, "HexSzAnsi",
       Variant(std::string("\xC3\xA9\xE2\x82\xAC"))},
      {"ANSI file: hex(2)", kAnsi, "HexExpand", Variant(std::string("%PATH%"))},
      {"ANSI file: hex(7)", kAnsi, "HexMulti", Variant(std::string("one\0two", 7))},
      {"ANSI file: hex(7) without terminators", kAnsi, "HexMultiNoNul",
       Variant(std::string("one\0two", 7))},
      {"ANSI file: hex continued over lines and a comment", kAnsi, "ContinuedBinary",
       Variant(Bytes{0, 1, 2, 3, 4, 5})},
      {"ANSI file: default value", kAnsi, "", Variant(std::string("ansi default"))},
      {"ANSI file: blanks inside quotes kept", kAnsi, "  spaced name  ",
       Variant(std::string("  spaced data  "))},
      {"ANSI file: key created through a lower-case path", kAnsi + "\\Kept", "JavaHome",
       Variant(std::string("C:\\Kept"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(ReadRegistryValue(*api_, kHkeyLocalMachine, c.path, c.name), c.expected);
  }
}

TEST_F(RegistryScenarios, UnreadableValuesRaiseUnsupportedValueTypeWithTheKeyClosed) {
  struct Case {
    const char* description;
    std::string path;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"REG_NONE", kValues, "None"},
      {"REG_NONE of 0 bytes", kValues, "NoneEmpty"},
      {"REG_DWORD_BIG_ENDIAN", kValues, "BigEndian"},
      {"REG_LINK", kValues, "Link"},
      {"type 11", kValues, "Type11"},
      {"missing value, even with a default", kValues, "Missing"},
      {"value deleted by the file", kAnsi, "Deleted"},
      {"missing default value", kTestKey + "\\Empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(ErrorOf([&] {
                ReadRegistryValue(*api_, kHkeyLocalMachine, c.path, c.name, Variant(std::string("d")));
              }),
              "1001 Unsupported value type");
    EXPECT_EQ(api_->open_keys(), 0);
  }
}

TEST_F(RegistryScenarios, MissingKeyGivesTheDefaultOrEmpty) {
  const std::string missing = kTestKey + "\\Missing";
  EXPECT_TRUE(ReadRegistryValue(*api_, kHkeyLocalMachine, missing, "JavaHome").IsEmpty());
  const Variant fallback(std::int32_t{7});
  EXPECT_EQ(ReadRegistryValue(*api_, kHkeyLocalMachine, missing, "JavaHome", fallback), fallback);
}

// The four calls themselves answer alike: statuses, sizes, buffers.
TEST_F(RegistryScenarios, EnumerationStatuses) {
  KeyHandle order = 0;
  ASSERT_EQ(api_->OpenKey(kHkeyLocalMachine, kOrder, kKeyRead, &order), kErrorSuccess);
  struct Case {
    const char* description;
    std::uint32_t index;
    std::uint32_t buffer_size;
    long status;
    std::string name;  // on status 0
  };
  const std::vector<Case> cases = {
      {"name and NUL fit exactly", 3, 6, kErrorSuccess, "Alpha"},
      {"no room for the NUL", 3, 5, kErrorMoreData, ""},
      {"longest name fits the 260-byte buffer", 8, kEnumBufferSize, kErrorSuccess,
       std::string(255, 'L')},
      {"longest name in 255 bytes", 8, 255, kErrorMoreData, ""},
      {"past the last subkey", 12, kEnumBufferSize, kErrorNoMoreItems, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    char buffer[kEnumBufferSize];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(api_->EnumKey(order, c.index, buffer, c.buffer_size), c.status);
    if (c.status == kErrorSuccess) {
      EXPECT_EQ(std::string(buffer), c.name);
    } else {
      EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'))
          << "buffer touched";
    }
  }
  api_->CloseKey(order);
}

TEST_F(RegistryScenarios, QueryStatusesAndSizes) {
  KeyHandle values = 0;
  ASSERT_EQ(api_->OpenKey(kHkeyLocalMachine, kValues, kKeyRead, &values), kErrorSuccess);
  struct Case {
    const char* description;
    std::string name;
    std::uint32_t buffer_size;
    long status;
    std::uint32_t type;  // on status 0 and 234
    std::uint32_t size;  // on status 0 and 234
    std::string data;    // on status 0
  };
  const std::vector<Case> cases = {
      {"string size counts the stored terminator", "Sz", 1024, kErrorSuccess, 1, 4,
       std::string("abc\0", 4)},
      {"string exactly filling the buffer", "Sz", 4, kErrorSuccess, 1, 4, std::string("abc\0", 4)},
      {"string without room for its terminator", "Sz", 3, kErrorMoreData, 1, 4, ""},
      {"string of 0 bytes", "SzZeroBytes", 1024, kErrorSuccess, 1, 0, ""},
      {"converted to ANSI with best fit", "Outside", 1024, kErrorSuccess, 1, 19,
       std::string("Omega ?????? ?? ??\0", 19)},
      {"multi-string size", "MultiSz", 1024, kErrorSuccess, 7, 5, std::string("a\0b\0\0", 5)},
      {"binary too large for the first buffer", "Binary1025", 1024, kErrorMoreData, 3, 1025, ""},
      {"string too large for the first buffer", "Sz1025", 1024, kErrorMoreData, 1, 1025, ""},
      {"dword", "DwordMinus1", 1024, kErrorSuccess, 4, 4, std::string(4, '\xFF')},
      {"missing value", "Missing", 1024, kErrorFileNotFound, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    std::vector<std::uint8_t> buffer(c.buffer_size);
    std::uint32_t type = 99;
    std::uint32_t size = c.buffer_size;
    ASSERT_EQ(api_->QueryValue(values, c.name, &type, buffer.data(), &size), c.status);
    if (c.status == kErrorSuccess || c.status == kErrorMoreData) {
      EXPECT_EQ(type, c.type);
      EXPECT_EQ(size, c.size);
    }
    if (c.status == kErrorSuccess) {
      EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), c.data);
    }
  }
  api_->CloseKey(values);
}

}  // namespace
}  // namespace tolvarin::registry
