// The registry operations against a scripted fake of the four calls, for what a real
// registry cannot be made to do on demand, and the value types they return.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "tests/common/error_of.h"

namespace tolvarin::registry {
namespace {

using ::testing::ElementsAre;
using Bytes = Variant::Bytes;
using tolvarin::testing::ErrorOf;

constexpr long kErrorAccessDenied = 5;

// One key whose value queries are answered, in turn, by scripted replies. Like the real
// calls it writes type and size on every reply (a failed query may write anything) and
// data only on status 0. Checks that handles are closed once and never used after.
class ScriptedRegistryApi : public RegistryApi {
 public:
  struct Reply {
    long status;
    std::uint32_t type;
    std::uint32_t size;
    Bytes data;  // written on status 0
  };

  std::vector<Reply> replies;
  std::vector<std::string> subkeys;  // enumerated in this order
  std::vector<std::uint32_t> query_buffer_sizes;
  std::set<KeyHandle> open;
  std::vector<KeyHandle> closed;

  long OpenKey(KeyHandle, const std::string&, std::uint32_t access, KeyHandle* opened) override {
    EXPECT_EQ(access, kKeyRead);
    *opened = next_handle_ += 4;
    open.insert(*opened);
    return kErrorSuccess;
  }

  long EnumKey(KeyHandle key, std::uint32_t index, char* name, std::uint32_t name_size) override {
    CheckUsable(key);
    if (index >= subkeys.size()) return kErrorNoMoreItems;
    if (subkeys[index].size() >= name_size) return kErrorMoreData;
    std::memcpy(name, subkeys[index].c_str(), subkeys[index].size() + 1);
    return kErrorSuccess;
  }

  long QueryValue(KeyHandle key, const std::string&, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    CheckUsable(key);
    query_buffer_sizes.push_back(*size);
    if (next_reply_ == replies.size()) return kErrorFileNotFound;
    const Reply& reply = replies[next_reply_++];
    if (reply.status == kErrorSuccess) {
      EXPECT_LE(reply.data.size(), *size) << "script writes past the caller's buffer";
      std::copy(reply.data.begin(), reply.data.end(), data);
    }
    *type = reply.type;
    *size = reply.size;
    return reply.status;
  }

  void CloseKey(KeyHandle key) override {
    EXPECT_EQ(open.erase(key), 1u) << "closed a handle it did not open, or twice";
    closed.push_back(key);
  }

  std::string Utf8ToAnsi(const std::string& utf8) const override { return utf8; }
  std::string AnsiToUtf8(const std::string& ansi) const override { return ansi; }

 private:
  void CheckUsable(KeyHandle key) const {
    EXPECT_TRUE(key == kHkeyLocalMachine || open.count(key) != 0) << "handle not open";
  }

  KeyHandle next_handle_ = 0x1000;
  size_t next_reply_ = 0;
};

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 253 + 1);
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(ReadRegistryValue, TrustsOnlyWhatTheLastQueryDelivered) {
  struct Case {
    const char* description;
    std::vector<ScriptedRegistryApi::Reply> replies;
    std::optional<Variant> expected;  // nullopt: error 1001
    std::vector<std::uint32_t> buffer_sizes;
  };
  const std::vector<Case> cases = {
      {"value of 1024 bytes: one query",
       {{0, 3, 1024, Pattern(1024)}}, Variant(Pattern(1024)), {1024}},
      {"second query into a buffer of exactly the reported size",
       {{234, 3, 1025, {}}, {0, 3, 1025, Pattern(1025)}}, Variant(Pattern(1025)), {1024, 1025}},
      {"value grew again between the queries: asked again at its new size",
       {{234, 3, 2000, {}}, {234, 3, 3000, {}}, {0, 3, 3000, Pattern(3000)}},
       Variant(Pattern(3000)), {1024, 2000, 3000}},
      {"value that keeps growing is given up",
       {{234, 3, 2000, {}}, {234, 3, 3000, {}}, {234, 3, 4000, {}}, {234, 3, 5000, {}},
        {0, 3, 5000, Pattern(5000)}},
       std::nullopt, {1024, 2000, 3000, 4000}},
      {"value shrank between the queries", {{234, 1, 2000, {}}, {0, 1, 4, Text({"abc\0", 4})}},
       Variant(std::string("abc")), {1024, 2000}},
      {"value vanished between the queries", {{234, 1, 2000, {}}, {2, 1, 2000, {}}}, std::nullopt,
       {1024, 2000}},
      {"missing value writing a stale REG_SZ and size", {{2, 1, 3, {}}}, std::nullopt, {1024}},
      {"failed query writing a random type", {{kErrorAccessDenied, 0x5A17C3, 0xFFFFFFFF, {}}},
       std::nullopt, {1024}},
      {"REG_SZ without terminator keeps its last character", {{0, 1, 3, Text("abc")}},
       Variant(std::string("abc")), {1024}},
      {"REG_SZ drops one terminator only", {{0, 1, 4, Text({"a\0b\0", 4})}},
       Variant(std::string("a\0b", 3)), {1024}},
      {"REG_MULTI_SZ drops both terminators", {{0, 7, 5, Text({"a\0b\0\0", 5})}},
       Variant(std::string("a\0b", 3)), {1024}},
      {"REG_MULTI_SZ missing the list terminator", {{0, 7, 4, Text({"a\0b\0", 4})}},
       Variant(std::string("a\0b", 3)), {1024}},
      {"REG_DWORD of 2 bytes after a second query reads only those",
       {{234, 4, 1030, {}}, {0, 4, 2, {0x34, 0x12}}}, Variant(std::int32_t{0x1234}), {1024, 1030}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    ScriptedRegistryApi api;
    api.replies = c.replies;
    Variant value;
    EXPECT_EQ(ErrorOf([&] { value = ReadRegistryValue(api, kHkeyLocalMachine, "Key", "Value"); }),
              c.expected ? "no error" : "1001 Unsupported value type");
    if (c.expected) {
      EXPECT_EQ(value, *c.expected);
    }
    EXPECT_EQ(api.query_buffer_sizes, c.buffer_sizes);
    EXPECT_TRUE(api.open.empty());
    EXPECT_EQ(api.closed.size(), 1u);
  }
}

TEST(ListRegistrySubkeys, StopsAtTheFirstFailedEnumeration) {
  ScriptedRegistryApi api;
  api.subkeys = {"1.4", "1.5", std::string(260, 'x'), "1.6"};
  const SubkeyList list = ListRegistrySubkeys(api, kHkeyLocalMachine, "Runtimes");
  EXPECT_THAT(std::vector<std::string>(list.begin(), list.end()), ElementsAre("1.4", "1.5"));
  EXPECT_TRUE(api.open.empty());
}

TEST(SubkeyList, KeepsOrderAndRefusesNamesEqualButForCase) {
  SubkeyList list;
  list.Add("Gr\xC3\xB6\xC3\x9F" "e");
  list.Add("beta");
  list.Add("Alpha");
  struct Case {
    const char* description;
    std::string name;
  };
  for (const Case& c : std::vector<Case>{{"ASCII", "ALPHA"},
                                         {"accented capital", "GR\xC3\x96\xC3\x9F" "E"},
                                         {"same spelling", "beta"}}) {
    SCOPED_TRACE(c.description);
    EXPECT_TRUE(list.Contains(c.name));
    EXPECT_EQ(ErrorOf([&] { list.Add(c.name); }),
              "457 This key is already associated with an element of this collection");
  }
  EXPECT_FALSE(list.Contains("Alph"));
  EXPECT_THAT(std::vector<std::string>(list.begin(), list.end()),
              ElementsAre("Gr\xC3\xB6\xC3\x9F" "e", "beta", "Alpha"));
}

TEST(Variant, AsText) {
  EXPECT_EQ(Variant().AsText(), "");
  EXPECT_EQ(Variant(std::string("C:\\jre")).AsText(), "C:\\jre");
  EXPECT_EQ(Variant(std::int32_t{-5}).AsText(), "-5");
  EXPECT_EQ(ErrorOf([] { Variant(Bytes{1, 2}).AsText(); }), "13 Type mismatch");
}

}  // namespace
}  // namespace tolvarin::registry
