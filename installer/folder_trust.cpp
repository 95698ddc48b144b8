#include "installer/folder_trust.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"

namespace tolvarin::installer {

std::string ErrorNote(long number, const std::string& text) {
  return "(error " + std::to_string(number) + ": " + text + ")";
}

bool TrustedOwners::Contains(const std::string& sid) const {
  return std::find(sids_.begin(), sids_.end(), sid) != sids_.end();
}

void TrustedOwners::Remove(const std::string& sid) {
  sids_.erase(std::remove(sids_.begin(), sids_.end(), sid), sids_.end());
}

std::string Problem(const EntryFacts& facts, const TrustedOwners& owners, bool folder) {
  using Kind = EntryFacts::Kind;
  switch (facts.kind) {
    case Kind::kLink:
      return "is a link to another place";
    case Kind::kUnopenable:
      return "cannot be checked " + ErrorNote(facts.error, facts.error_text);
    case Kind::kMissing:
      return "vanished while it was being checked";
    case Kind::kFolder:
    case Kind::kFile:
      break;
  }
  if ((facts.kind == Kind::kFolder) != folder) {
    return folder ? "is a file where a folder belongs" : "is a folder where a file belongs";
  }
  if (!owners.Contains(facts.owner))
    return "belongs to " + facts.owner + ", not to an administrator";
  return {};
}

std::string FirstProblemInside(EntryView& view, const std::string& folder,
                               const TrustedOwners& owners) {
  std::vector<std::string> pending{folder};
  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    std::vector<std::string> names;
    try {
      names = view.List(current);
    } catch (const platform::Error& error) {
      return current + " cannot be listed " + ErrorNote(error.number(), error.description());
    }
    for (const std::string& name : names) {
      const std::string path = current + "\\" + name;
      const EntryFacts facts = view.Inspect(path);
      const bool is_folder = facts.kind == EntryFacts::Kind::kFolder;
      const std::string problem = Problem(facts, owners, is_folder);
      if (!problem.empty()) return path + " " + problem;
      if (is_folder) pending.push_back(path);
    }
  }
  return {};
}

}  // namespace tolvarin::installer
