// The registry operations against the in-memory registry, for what a real one cannot be
// made to do on demand, and the value types they return.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "tests/common/error_of.h"
#include "tests/common/fake_registry.h"

namespace tolvarin::registry {
namespace {

using ::testing::ElementsAre;
using Bytes = Variant::Bytes;
using tolvarin::testing::ErrorOf;
using tolvarin::testing::FakeRegistry;
using Reply = FakeRegistry::Reply;

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 253 + 1);
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(ReadRegistryValue, TrustsOnlyWhatTheLastQueryDelivered) {
  struct Case {
    const char* description;
    std::vector<Reply> replies;
    std::optional<Variant> expected;  // nullopt: error 1001
    std::vector<std::uint32_t> buffer_sizes;
  };
  const std::vector<Case> cases = {
      {"value of 1024 bytes: one query", {FakeRegistry::Ok(3, Pattern(1024))},
       Variant(Pattern(1024)), {1024}},
      {"second query into a buffer of exactly the reported size",
       {FakeRegistry::Ok(3, Pattern(1025))}, Variant(Pattern(1025)), {1024, 1025}},
      {"value grew again between the queries: asked again at its new size",
       {{234, 3, 2000, {}}, {234, 3, 3000, {}}, FakeRegistry::Ok(3, Pattern(3000))},
       Variant(Pattern(3000)), {1024, 2000, 3000}},
      {"value that keeps growing is given up",
       {{234, 3, 2000, {}}, {234, 3, 3000, {}}, {234, 3, 4000, {}}, {234, 3, 5000, {}},
        FakeRegistry::Ok(3, Pattern(5000))},
       std::nullopt, {1024, 2000, 3000, 4000}},
      {"value shrank between the queries",
       {{234, 1, 2000, {}}, FakeRegistry::Ok(1, Text({"abc\0", 4}))}, Variant(std::string("abc")),
       {1024, 2000}},
      {"value vanished between the queries", {{234, 1, 2000, {}}, {2, 1, 2000, {}}}, std::nullopt,
       {1024, 2000}},
      {"missing value writing a stale REG_SZ and size", {{2, 1, 3, {}}}, std::nullopt, {1024}},
      {"REG_SZ without terminator keeps its last character", {FakeRegistry::Ok(1, Text("abc"))},
       Variant(std::string("abc")), {1024}},
      {"REG_SZ drops one terminator only", {FakeRegistry::Ok(1, Text({"a\0b\0", 4}))},
       Variant(std::string("a\0b", 3)), {1024}},
      {"REG_MULTI_SZ missing the list terminator", {FakeRegistry::Ok(7, Text({"a\0b\0", 4}))},
       Variant(std::string("a\0b", 3)), {1024}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    FakeRegistry api;
    api.Add("Key", "Value", c.replies);
    Variant value;
    EXPECT_EQ(ErrorOf([&] { value = ReadRegistryValue(api, kHkeyLocalMachine, "Key", "Value"); }),
              c.expected ? "no error" : "1001 Unsupported value type");
    EXPECT_EQ(value, c.expected.value_or(Variant()));
    EXPECT_EQ(api.query_buffer_sizes, c.buffer_sizes);
    EXPECT_EQ(api.open_keys(), 0u);
  }
}

TEST(RegistryKeys, ListingStopsAtTheFirstFailedEnumerationAndKeysAreClosed) {
  FakeRegistry api;
  for (const std::string& name : {std::string("1.4"), std::string("1.5"), std::string(260, 'x')}) {
    api.Add("Runtimes\\" + name);
  }
  api.Add("Runtimes\\1.6");
  const SubkeyList list = ListRegistrySubkeys(api, kHkeyLocalMachine, "Runtimes");
  EXPECT_THAT(std::vector<std::string>(list.begin(), list.end()), ElementsAre("1.4", "1.5"));
  EXPECT_TRUE(RegistryKeyExists(api, kHkeyLocalMachine, "Runtimes\\1.6"));
  EXPECT_EQ(api.open_keys(), 0u);
}

TEST(SubkeyList, RefusesNamesEqualButForCase) {
  SubkeyList list;
  list.Add("Gr\xC3\xB6\xC3\x9F" "e");
  list.Add("Alpha");
  for (const char* name : {"ALPHA", "GR\xC3\x96\xC3\x9F" "E"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ErrorOf([&] { list.Add(name); }),
              "457 This key is already associated with an element of this collection");
  }
  EXPECT_EQ(std::distance(list.begin(), list.end()), 2);
}

TEST(Variant, AsText) {
  EXPECT_EQ(Variant().AsText(), "");
  EXPECT_EQ(Variant(std::int32_t{-5}).AsText(), "-5");
  EXPECT_EQ(ErrorOf([] { Variant(Bytes{1, 2}).AsText(); }), "13 Type mismatch");
}

}  // namespace
}  // namespace tolvarin::registry
