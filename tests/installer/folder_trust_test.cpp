// The rule by which Setup keeps an existing folder, fed the facts Windows would show: which
// owners and kinds of entry are kept, and that a walk through a folder names the first entry
// that is not, without following a link.

#include "installer/folder_trust.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/error.h"

namespace tolvarin::installer {
namespace {

using Kind = EntryFacts::Kind;

constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kSystem[] = "S-1-5-18";
constexpr char kInstaller[] = "S-1-5-21-1-2-3-500";  // the account running Setup
constexpr char kUser[] = "S-1-5-21-1-2-3-1001";

TrustedOwners Owners() { return TrustedOwners({kAdministrators, kSystem, kInstaller}); }

EntryFacts Folder(const char* owner) { return {Kind::kFolder, owner, 0, ""}; }
EntryFacts File(const char* owner) { return {Kind::kFile, owner, 0, ""}; }
EntryFacts Link() { return {Kind::kLink, "", 0, ""}; }

TEST(Problem, KeepsOnlyRealFoldersOfTrustedOwners) {
  const struct {
    const char* description;
    EntryFacts facts;
    std::string problem;
  } kCases[] = {
      {"a folder of Administrators", Folder(kAdministrators), ""},
      {"a folder of SYSTEM", Folder(kSystem), ""},
      {"a folder of the account running Setup", Folder(kInstaller), ""},
      {"a folder of another user", Folder(kUser),
       "belongs to S-1-5-21-1-2-3-1001, not to an administrator"},
      {"a link, whoever owns it", Link(), "is a link to another place"},
      {"a folder that cannot be opened",
       {Kind::kUnopenable, "", 5, "Access is denied."},
       "cannot be checked (error 5: Access is denied.)"},
      {"a file of Administrators", File(kAdministrators), "is a file where a folder belongs"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(Problem(c.facts, Owners()), c.problem);
  }
}

// A folder tree by path; listing a folder absent from `folders` fails, and so does listing a link.
class FakeView : public EntryView {
 public:
  std::map<std::string, EntryFacts> entries;
  std::map<std::string, std::vector<std::string>> folders;

  EntryFacts Inspect(const std::string& path) override { return entries.at(path); }
  std::vector<std::string> List(const std::string& path) override {
    EXPECT_NE(entries[path].kind, Kind::kLink) << "followed the link " << path;
    const auto found = folders.find(path);
    if (found == folders.end()) throw platform::Error(5, "Access is denied.");
    return found->second;
  }
};

TEST(FirstProblemInside, NamesTheFirstEntryNotToKeepAndNeverFollowsALink) {
  const struct {
    const char* description;
    std::map<std::string, EntryFacts> entries;
    std::map<std::string, std::vector<std::string>> folders;
    std::string problem;
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
    EXPECT_EQ(FirstProblemInside(view, "C:\\q", Owners()), c.problem);
  }
}

}  // namespace
}  // namespace tolvarin::installer
