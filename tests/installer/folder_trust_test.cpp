// The rule by which Setup keeps an existing folder, fed the facts Windows would show: which
// owners, kinds of entry and access lists are kept, and that a walk through a folder names the
// first entry that is not, without following a link. Real Windows lists, as SDDL, are in
// access_rule_test_win32.cpp; what one more entry may change, in fuzz/folder_trust_fuzzer.cpp.

#include "installer/rule/folder_trust.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {
namespace {

using Kind = EntryFacts::Kind;

constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kSystem[] = "S-1-5-18";
constexpr char kInstaller[] = "S-1-5-21-1-2-3-500";  // the account running Setup
constexpr char kUser[] = "S-1-5-21-1-2-3-1001";

constexpr char kEveryone[] = "S-1-1-0";

TrustedAccounts Trusted() { return TrustedAccounts({kAdministrators, kSystem, kInstaller}); }

EntryFacts Folder(const char* owner, Vector<AccessEntry> access = {}) {
  return {Kind::kFolder, owner, 0, "", std::move(access), false};
}
EntryFacts File(const char* owner, Vector<AccessEntry> access = {}) {
  return {Kind::kFile, owner, 0, "", std::move(access), false};
}
EntryFacts Link() { return {Kind::kLink, "", 0, "", {}, false}; }

// Allow entries: applying to the entry, or only to what is made inside.
AccessEntry Allow(const char* sid, std::uint32_t mask) { return {true, sid, mask, false, false}; }
AccessEntry InheritOnly(const char* sid, std::uint32_t mask) {
  return {true, sid, mask, true, false, true};
}

constexpr std::uint32_t kAdd = rights::kWriteData | rights::kAppendData;

TEST(Problem, KeepsOnlyRealFoldersOfTrustedOwners) {
  const struct {
    const char* description;
    EntryFacts facts;
    String problem;
  } kCases[] = {
      {"a folder of Administrators", Folder(kAdministrators), ""},
      {"a folder of SYSTEM", Folder(kSystem), ""},
      {"a folder of the account running Setup", Folder(kInstaller), ""},
      {"a folder of another user", Folder(kUser),
       "belongs to S-1-5-21-1-2-3-1001, not to an administrator"},
      {"a link, whoever owns it", Link(), "is a link to another place"},
      {"a folder that cannot be opened",
       {Kind::kUnopenable, "", 5, "Access is denied.", {}, false},
       "cannot be checked (error 5: Access is denied.)"},
      {"a file of Administrators", File(kAdministrators), "is a file where a folder belongs"},
      {"no access list at all", {Kind::kFolder, kAdministrators, 0, "", {}, true},
       "has no access list, so anyone can change it"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(Problem(c.facts, Trusted(), Role::kKept), c.problem);
  }
}

TEST(Problem, WeighsWhatOthersMayDoByRole) {
  const struct {
    const char* description;
    EntryFacts facts;
    Role role;
    String problem;
  } kCases[] = {
      {"others may add to a folder above: fine, nothing there can be removed",
       Folder(kAdministrators, {Allow(kUser, rights::kAppendData)}), Role::kAbove, ""},
      {"others may add to a kept folder", Folder(kAdministrators, {Allow(kUser, kAdd)}),
       Role::kKept, "lets S-1-5-21-1-2-3-1001 add to it"},
      {"generic rights count as what they stand for",
       Folder(kAdministrators, {Allow(kUser, rights::kGenericAll)}), Role::kAbove,
       "lets S-1-5-21-1-2-3-1001 delete or rename it, change its access list, take it over"},
      {"entries of several accounts, each named once",
       Folder(kAdministrators, {Allow(kEveryone, rights::kWriteDac), Allow(kUser, kAdd),
                                Allow(kEveryone, rights::kWriteOwner)}),
       Role::kKept, "lets Everyone (S-1-1-0) change its access list, take it over; "
                    "S-1-5-21-1-2-3-1001 add to it"},
      {"an entry only for what is made inside: Setup's files there would get it",
       Folder(kAdministrators, {InheritOnly(kUser, rights::kDelete)}), Role::kKept,
       "lets S-1-5-21-1-2-3-1001 change what is made in it"},
      {"... nor when it passes on only reading",
       Folder(kAdministrators, {InheritOnly(kUser, 0x1200a9)}), Role::kKept, ""},
      {"inside a kept folder, the entry's own ones stay",
       File(kAdministrators, {Allow(kUser, rights::kDelete)}), Role::kInside,
       "lets S-1-5-21-1-2-3-1001 delete or rename it"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(Problem(c.facts, Trusted(), c.role, c.facts.kind == Kind::kFolder), c.problem);
  }
}

// A folder tree by path; listing a folder absent from `folders` fails, and so does listing a link.
class FakeView : public EntryView {
 public:
  std::map<String, EntryFacts> entries;
  std::map<String, Vector<String>> folders;

  EntryFacts Inspect(const String& path) override { return entries.at(path); }
  platform::Result<Vector<String>> List(const String& path) override {
    EXPECT_NE(entries[path].kind, Kind::kLink) << "followed the link " << path;
    const auto found = folders.find(path);
    if (found == folders.end()) return platform::Error(5, "Access is denied.");
    return found->second;
  }
};

TEST(FirstProblemInside, NamesTheFirstEntryNotToKeepAndNeverFollowsALink) {
  const struct {
    const char* description;
    std::map<String, EntryFacts> entries;
    std::map<String, Vector<String>> folders;
    String problem;
  } kCases[] = {
      {"everything of trusted owners, at any depth",
       {{"C:\\q\\jar", Folder(kAdministrators)}, {"C:\\q\\jar\\Comm.jar", File(kInstaller)}},
       {{"C:\\q", {"jar"}}, {"C:\\q\\jar", {"Comm.jar"}}},
       ""},
      {"a file planted two levels down",
       {{"C:\\q\\jar", Folder(kAdministrators)}, {"C:\\q\\jar\\Win32com.dll", File(kUser)}},
       {{"C:\\q", {"jar"}}, {"C:\\q\\jar", {"Win32com.dll"}}},
       "C:\\q\\jar\\Win32com.dll belongs to S-1-5-21-1-2-3-1001, not to an administrator"},
      {"a link inside, reported and not entered",
       {{"C:\\q\\jar", Link()}},
       {{"C:\\q", {"jar"}}, {"C:\\q\\jar", {"anything"}}},
       "C:\\q\\jar is a link to another place"},
      {"a file inside whose own entry lets others write it",
       {{"C:\\q\\Win32com.dll", File(kAdministrators, {Allow(kEveryone, 0x1301ff)})}},
       {{"C:\\q", {"Win32com.dll"}}},
       "C:\\q\\Win32com.dll lets Everyone (S-1-1-0) delete or rename it, change what it holds"},
      {"a folder inside that cannot be listed",
       {{"C:\\q\\jar", Folder(kSystem)}},
       {{"C:\\q", {"jar"}}},
       "C:\\q\\jar cannot be listed (error 5: Access is denied.)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    FakeView view;
    view.entries = c.entries;
    view.folders = c.folders;
    EXPECT_EQ(FirstProblemInside(view, "C:\\q", Trusted()), c.problem);
  }
}

}  // namespace
}  // namespace tolvarin::installer
