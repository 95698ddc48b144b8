// The registry operations against answers a real registry cannot be made to give on demand
// (a value that changes between two queries), each call expected exactly: a handle closed
// twice, used after closing or left open, and a query too many, all fail.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "platform/text.h"
#include "platform/vector.h"
#include "registry/registry.h"
#include "tests/common/error_of.h"

namespace tolvarin::registry {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::Pointee;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::SetArrayArgument;
using ::testing::StrictMock;
using Bytes = Variant::Bytes;
using platform::Result;
using tolvarin::testing::ErrorOf;

class MockRegistry : public RegistryApi {
 public:
  MOCK_METHOD(long, OpenKey, (KeyHandle, const String&, std::uint32_t, KeyHandle*), (override));
  MOCK_METHOD(long, EnumKey, (KeyHandle, std::uint32_t, char*, std::uint32_t), (override));
  MOCK_METHOD(long, QueryValue,
              (KeyHandle, const String&, std::uint32_t*, std::uint8_t*, std::uint32_t*), (override));
  MOCK_METHOD(void, CloseKey, (KeyHandle), (override));
  String Utf8ToAnsi(const String& utf8) const override { return utf8; }
  String AnsiToUtf8(const String& ansi) const override { return ansi; }

  void ExpectOpen(const String& path, KeyHandle handle) {
    EXPECT_CALL(*this, OpenKey(kHkeyLocalMachine, path, kKeyRead, _))
        .WillOnce(DoAll(SetArgPointee<3>(handle), Return(kErrorSuccess)));
  }
};

constexpr KeyHandle kKey = 0x1234;

// One value query: the buffer size it must be asked with, and the answer. Like advapi32 it
// writes type and size whatever the status, and the data only with status 0.
struct Query {
  std::uint32_t buffer_size;
  long status;
  std::uint32_t type;
  Bytes data;  // only its size is reported unless the status is 0
};

Bytes Text(const String& text) { return Bytes(text.begin(), text.end()); }

TEST(ReadRegistryValue, TrustsOnlyWhatTheLastQueryDelivered) {
  struct Case {
    const char* description;
    Vector<Query> queries;
    std::optional<Variant> expected;  // nullopt: error 1001
  };
  const Vector<Case> cases = {
      {"value of 1024 bytes: one query", {{1024, 0, 3, Bytes(1024, 7)}}, Variant(Bytes(1024, 7))},
      {"second query into a buffer of exactly the reported size",
       {{1024, 234, 3, Bytes(1025)}, {1025, 0, 3, Bytes(1025, 7)}}, Variant(Bytes(1025, 7))},
      {"value that keeps growing: asked at each new size, given up after four queries",
       {{1024, 234, 3, Bytes(2000)}, {2000, 234, 3, Bytes(3000)}, {3000, 234, 3, Bytes(4000)},
        {4000, 234, 3, Bytes(5000)}},
       std::nullopt},
      {"value shrank between the queries", {{1024, 234, 1, Bytes(2000)}, {2000, 0, 1, Text({"abc\0", 4})}},
       Variant(String("abc"))},
      {"value vanished between the queries", {{1024, 234, 1, Bytes(2000)}, {2000, 2, 1, Bytes(2000)}},
       std::nullopt},
      {"missing value writing a stale REG_SZ and size", {{1024, 2, 1, Bytes(3)}}, std::nullopt},
      // Decoding otherwise shows on the real backends (registry_scenarios_test.cpp).
      {"REG_SZ keeps a NUL inside and drops one terminator", {{1024, 0, 1, Text({"a\0b\0", 4})}},
       Variant(String("a\0b", 3))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    StrictMock<MockRegistry> api;
    InSequence in_order;
    api.ExpectOpen("Key", kKey);
    for (const Query& q : c.queries) {
      EXPECT_CALL(api, QueryValue(kKey, String("Value"), _, _, Pointee(q.buffer_size)))
          .WillOnce([q](KeyHandle, const String&, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size) {
            if (q.status == kErrorSuccess) std::copy(q.data.begin(), q.data.end(), data);
            *type = q.type;
            *size = static_cast<std::uint32_t>(q.data.size());
            return q.status;
          });
    }
    EXPECT_CALL(api, CloseKey(kKey));
    const Result<Variant> value = ReadRegistryValue(api, kHkeyLocalMachine, "Key", "Value");
    EXPECT_EQ(ErrorOf(value), c.expected ? "no error" : "1001 Unsupported value type");
    EXPECT_EQ(value.ok() ? *value : Variant(), c.expected.value_or(Variant()));
  }
}

TEST(RegistryKeys, ListingStopsAtTheFirstFailedEnumerationAndKeysAreClosed) {
  StrictMock<MockRegistry> api;
  InSequence in_order;
  api.ExpectOpen("Runtimes", kKey);
  for (const std::uint32_t index : {0, 1}) {
    const char* name = index == 0 ? "1.4" : "1.5";
    EXPECT_CALL(api, EnumKey(kKey, index, _, 260))
        .WillOnce(DoAll(SetArrayArgument<2>(name, name + 4), Return(kErrorSuccess)));
  }
  EXPECT_CALL(api, EnumKey(kKey, 2, _, 260)).WillOnce(Return(kErrorMoreData));
  EXPECT_CALL(api, CloseKey(kKey));
  api.ExpectOpen("Runtimes\\1.6", kKey + 4);
  EXPECT_CALL(api, CloseKey(kKey + 4));
  const SubkeyList list = *ListRegistrySubkeys(api, kHkeyLocalMachine, "Runtimes");
  EXPECT_THAT(Vector<String>(list.begin(), list.end()), ElementsAre("1.4", "1.5"));
  EXPECT_TRUE(RegistryKeyExists(api, kHkeyLocalMachine, "Runtimes\\1.6"));
}

TEST(Variant, AsText) {
  EXPECT_EQ(*Variant().AsText(), "");
  EXPECT_EQ(*Variant(std::int32_t{-5}).AsText(), "-5");  // bytes: the binary JavaHome row end to end
}

}  // namespace
}  // namespace tolvarin::registry
