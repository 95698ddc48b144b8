#include "installer/rule/folder_trust.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"

namespace tolvarin::installer {
namespace {

using Kind = EntryFacts::Kind;

// CREATOR OWNER and CREATOR GROUP stand for someone only in what is made inside; OWNER RIGHTS
// limits the owner, who is judged as the owner.
constexpr const char* kGrantsNothing[] = {"S-1-3-0", "S-1-3-1", "S-1-3-4"};

struct KnownAccount {
  const char* sid;
  const char* name;
};
constexpr KnownAccount kKnownAccounts[] = {
    {"S-1-1-0", "Everyone"},          {"S-1-5-11", "Authenticated Users"},
    {"S-1-5-32-545", "Users"},        {"S-1-5-4", "INTERACTIVE"},
    {"S-1-5-32-547", "Power Users"},  {"S-1-5-32-546", "Guests"},
    {"S-1-5-7", "ANONYMOUS LOGON"},
};

String Named(const String& sid) {
  for (const KnownAccount& account : kKnownAccounts) {
    if (sid == account.sid) return String(account.name) + " (" + sid + ")";
  }
  return sid;
}

std::uint32_t Expanded(std::uint32_t mask) {
  constexpr std::uint32_t kEveryRight = rights::kWriteData | rights::kAppendData |
                                        rights::kDeleteChild | rights::kDelete |
                                        rights::kWriteDac | rights::kWriteOwner;
  if (mask & rights::kGenericAll) mask |= kEveryRight;
  if (mask & rights::kGenericWrite) mask |= rights::kWriteData | rights::kAppendData;
  return mask;
}

bool GrantsNothing(const String& sid) {
  return std::find(std::begin(kGrantsNothing), std::end(kGrantsNothing), sid) !=
         std::end(kGrantsNothing);
}

// Whose rights an entry counts for: the entry itself, or what is made inside it.
enum class Reach { kItself, kMadeInside };

// What each account but the trusted ones is allowed on the entry itself, or on what is made
// inside it, in list order.
Vector<std::pair<String, std::uint32_t>> OthersRights(const EntryFacts& facts,
                                                      bool own_entries_only,
                                                      const TrustedAccounts& trusted,
                                                      Reach reach = Reach::kItself) {
  Vector<std::pair<String, std::uint32_t>> others;
  if (facts.no_access_list) {
    others.emplace_back("S-1-1-0", Expanded(rights::kGenericAll));
    return others;
  }
  for (const AccessEntry& entry : facts.access) {
    const bool reaches = reach == Reach::kItself ? !entry.inherit_only : entry.inheritable;
    if (!entry.allow || !reaches || (own_entries_only && entry.inherited)) continue;
    if (trusted.Contains(entry.sid) || GrantsNothing(entry.sid)) continue;
    const auto found = std::find_if(others.begin(), others.end(),
                                    [&](const auto& other) { return other.first == entry.sid; });
    if (found == others.end()) {
      others.emplace_back(entry.sid, Expanded(entry.mask));
    } else {
      found->second |= Expanded(entry.mask);
    }
  }
  return others;
}

void Append(String& text, const String& more, const char* separator) {
  if (!text.empty()) text += separator;
  text += more;
}

}  // namespace

String ErrorNote(long number, const String& text) {
  return "(error " + DecimalString(number) + ": " + text + ")";
}

bool TrustedAccounts::Contains(const String& sid) const {
  return std::find(sids_.begin(), sids_.end(), sid) != sids_.end();
}

String OthersWhoCanChange(const EntryFacts& facts, Role role, const TrustedAccounts& trusted,
                          const EntryFacts* parent) {
  const bool folder = facts.kind == Kind::kFolder;
  auto others = OthersRights(facts, role == Role::kInside, trusted);
  if (parent != nullptr) {
    // Deleting what a folder holds deletes or renames this entry.
    for (const auto& [sid, mask] : OthersRights(*parent, false, trusted)) {
      if (mask & rights::kDeleteChild) others.emplace_back(sid, rights::kDelete);
    }
  }
  // Accounts whose rights reach what is made inside: Setup's own files there would get them.
  Vector<String> change_inside;
  if (role != Role::kAbove && folder) {
    constexpr std::uint32_t kChanging = rights::kWriteData | rights::kAppendData |
                                        rights::kDeleteChild | rights::kDelete |
                                        rights::kWriteDac | rights::kWriteOwner;
    for (const auto& [sid, mask] :
         OthersRights(facts, role == Role::kInside, trusted, Reach::kMadeInside)) {
      if (mask & kChanging) change_inside.push_back(sid);
    }
  }
  const size_t on_itself = others.size();
  for (const String& sid : change_inside) others.emplace_back(sid, 0);
  Vector<std::pair<String, String>> said;  // account, what it can do
  for (size_t i = 0; i < others.size(); ++i) {
    // Not a structured binding: clang before 16 cannot capture one (the fuzz build).
    const String& sid = others[i].first;
    const std::uint32_t mask = others[i].second;
    String can = i < on_itself ? "" : "change what is made in it";
    if (mask & rights::kDelete) Append(can, "delete or rename it", ", ");
    if (mask & rights::kWriteDac) Append(can, "change its access list", ", ");
    if (mask & rights::kWriteOwner) Append(can, "take it over", ", ");
    if (role != Role::kAbove && folder) {
      if (mask & (rights::kWriteData | rights::kAppendData)) Append(can, "add to it", ", ");
      if (mask & rights::kDeleteChild) Append(can, "delete or rename what it holds", ", ");
    } else if (role != Role::kAbove && (mask & (rights::kWriteData | rights::kAppendData))) {
      Append(can, "change what it holds", ", ");
    }
    if (can.empty()) continue;
    const auto found = std::find_if(said.begin(), said.end(),
                                    [&](const auto& entry) { return entry.first == sid; });
    if (found == said.end()) {
      said.emplace_back(sid, can);
    } else if (found->second.find(can) == String::npos) {
      Append(found->second, can, ", ");
    }
  }
  String text;
  for (const auto& [sid, can] : said) Append(text, Named(sid) + " " + can, "; ");
  return text.empty() ? text : "lets " + text;
}

String Problem(const EntryFacts& facts, const TrustedAccounts& trusted, Role role,
               bool folder, const EntryFacts* parent) {
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
  if (!trusted.Contains(facts.owner))
    return "belongs to " + facts.owner + ", not to an administrator";
  if (facts.no_access_list) return "has no access list, so anyone can change it";
  return OthersWhoCanChange(facts, role, trusted, parent);
}

String FirstProblemInside(EntryView& view, const String& folder,
                          const TrustedAccounts& trusted) {
  Vector<String> pending{folder};
  while (!pending.empty()) {
    const String current = std::move(pending.back());
    pending.pop_back();
    const platform::Result<Vector<String>> names = view.List(current);
    if (!names.ok()) {
      return current + " cannot be listed " +
             ErrorNote(names.error().number(), names.error().description());
    }
    for (const String& name : *names) {
      const String path = current + "\\" + name;
      const EntryFacts facts = view.Inspect(path);
      const bool is_folder = facts.kind == Kind::kFolder;
      const String problem = Problem(facts, trusted, Role::kInside, is_folder);
      if (!problem.empty()) return path + " " + problem;
      if (is_folder) pending.push_back(path);
    }
  }
  return {};
}

}  // namespace tolvarin::installer
