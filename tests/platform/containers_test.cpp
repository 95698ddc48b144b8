// The project's string, vector and function types against what std's would do with the same
// calls, where they differ from it in code: growth, text that lies in the string itself,
// insertion into the middle, move-only elements.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin {
namespace {

TEST(String, EditsAsStdStringDoes) {
  const struct {
    const char* description;
    void (*edit)(String&);
    void (*reference)(std::string&);
  } kCases[] = {
      {"append itself, growing", [](String& s) { s.append(s); },
       [](std::string& s) { s.append(s); }},
      {"append its own tail, growing",
       [](String& s) { s += std::string_view(s).substr(2); },
       [](std::string& s) { s += std::string_view(s).substr(2); }},
      {"assign its own tail", [](String& s) { s.assign(std::string_view(s).substr(3)); },
       [](std::string& s) { s.assign(std::string_view(s).substr(3)); }},
      {"replace the middle with more", [](String& s) { s.replace(1, 2, "XYZW"); },
       [](std::string& s) { s.replace(1, 2, "XYZW"); }},
      {"replace past the end: clamped", [](String& s) { s.replace(4, 99, "!"); },
       [](std::string& s) { s.replace(4, 99, "!"); }},
      {"insert at the front", [](String& s) { s.insert(0, "<<"); },
       [](std::string& s) { s.insert(0, "<<"); }},
      {"erase a range", [](String& s) { s.erase(1, 3); }, [](std::string& s) { s.erase(1, 3); }},
      {"erase by iterators", [](String& s) { s.erase(s.begin() + 2, s.end()); },
       [](std::string& s) { s.erase(s.begin() + 2, s.end()); }},
      {"resize longer, then shorter",
       [](String& s) {
         s.resize(9, '.');
         s.resize(7);
       },
       [](std::string& s) {
         s.resize(9, '.');
         s.resize(7);
       }},
      {"substr to the end and copy-assign", [](String& s) { s = s.substr(2); },
       [](std::string& s) { s = s.substr(2); }},
      {"many one-character appends", [](String& s) { for (int i = 0; i < 100; ++i) s += 'a'; },
       [](std::string& s) { for (int i = 0; i < 100; ++i) s += 'a'; }},
      {"clear, then append", [](String& s) { s.clear(); s += "x"; },
       [](std::string& s) { s.clear(); s += "x"; }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    String ours = "abcdef";
    std::string theirs = "abcdef";
    c.edit(ours);
    c.reference(theirs);
    EXPECT_EQ(std::string(ours.c_str()), theirs);
    EXPECT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours.c_str()[ours.size()], '\0');
  }
}

TEST(String, SearchesComparesAndJoinsAsStdStringDoes) {
  const String s = "C:\\Apps\\Tolvarin\\";
  EXPECT_EQ(s.find_last_of("\\/", s.size() - 2), 7u);
  EXPECT_EQ(s.find('x'), String::npos);
  EXPECT_EQ(s.rfind("Apps"), 3u);
  EXPECT_TRUE(s.starts_with("C:") && s.ends_with('\\'));
  EXPECT_LT(String("Alpha"), String("alpha"));
  EXPECT_EQ(String() + "", "");
  EXPECT_EQ("[" + s.substr(3, 4) + ']', "[Apps]");
  EXPECT_EQ(DecimalString(-2147483648LL) + "/" + DecimalString(0), "-2147483648/0");
  EXPECT_EQ(WString(L"\x263A") + L"!", WString(L"\x263A!"));
}

TEST(Vector, KeepsOrderAndElementsThroughGrowthInsertionAndErasure) {
  Vector<std::unique_ptr<int>> owned;  // move-only: growth must move, never copy
  for (int i = 0; i < 20; ++i) owned.push_back(std::make_unique<int>(i));
  owned.insert(owned.begin() + 5, std::make_unique<int>(100));
  owned.erase(owned.begin(), owned.begin() + 2);
  std::vector<int> seen;
  for (const auto& item : owned) seen.push_back(*item);
  std::vector<int> expected = {2, 3, 4, 100};
  for (int i = 5; i < 20; ++i) expected.push_back(i);
  EXPECT_EQ(seen, expected);

  const struct {
    const char* description;
    size_t at;
    std::vector<int> inserted;
  } kRanges[] = {
      {"more than follow the place", 1, {7, 8, 9, 10}},
      {"at the front", 0, {7}},
      {"at the end", 3, {7, 8}},
      {"nothing", 2, {}},
  };
  for (const auto& c : kRanges) {
    SCOPED_TRACE(c.description);
    Vector<String> ours = {"a", "b", "c"};
    std::vector<std::string> theirs = {"a", "b", "c"};
    Vector<String> inserted;
    for (int value : c.inserted) inserted.push_back(DecimalString(value));
    ours.insert(ours.begin() + c.at, inserted.begin(), inserted.end());
    for (size_t i = 0; i < c.inserted.size(); ++i) {
      theirs.insert(theirs.begin() + c.at + i, std::to_string(c.inserted[i]));
    }
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], theirs[i].c_str()) << i;
  }

  Vector<String> self = {"x", "y"};
  for (int i = 0; i < 10; ++i) self.push_back(self.front());  // refers into itself as it grows
  EXPECT_EQ(self.size(), 12u);
  EXPECT_EQ(self.back(), "x");
}

TEST(Function, HoldsMoveOnlyCallablesAndTellsEmptyFromSet) {
  Function<int(int)> empty;
  EXPECT_FALSE(empty);
  auto base = std::make_unique<int>(40);
  Function<int(int)> add = [base = std::move(base)](int n) { return *base + n; };
  Function<int(int)> moved = std::move(add);
  EXPECT_TRUE(moved);
  EXPECT_EQ(moved(2), 42);
}

}  // namespace
}  // namespace tolvarin
