// Property target of the access-list rule (Problem, OthersWhoCanChange): what one more entry,
// of either kind, for anyone, with any rights and flags, anywhere in the list, may change.

#include <fuzzer/FuzzedDataProvider.h>

#include "installer/rule/folder_trust.h"

namespace {

using namespace tolvarin::installer;
using Kind = EntryFacts::Kind;

// Others, the trusted, then accounts standing for no one else (CREATOR OWNER, GROUP, OWNER RIGHTS).
constexpr const char* kAccounts[] = {"S-1-1-0", "S-1-5-11", "S-1-5-21-1-2-3-1001", "S-1-5-32-544",
                                     "S-1-5-18", "S-1-3-0", "S-1-3-1", "S-1-3-4"};
constexpr int kLastOther = 2, kTrusted = 3, kLast = 7;
// Reading, then each right that changes something.
constexpr std::uint32_t kRights[] = {
    0x1200a9, rights::kWriteData, rights::kAppendData, rights::kDeleteChild, rights::kDelete,
    rights::kWriteDac, rights::kWriteOwner, rights::kGenericAll, rights::kGenericWrite};

// An entry for one of kAccounts[first..last].
AccessEntry Entry(FuzzedDataProvider& in, int first = 0, int last = kLast) {
  return {in.ConsumeBool(), kAccounts[in.ConsumeIntegralInRange(first, last)],
          in.PickValueInArray(kRights), in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()};
}

EntryFacts Facts(FuzzedDataProvider& in) {
  EntryFacts facts{in.PickValueInArray({Kind::kFolder, Kind::kFile, Kind::kLink}), Entry(in).sid,
                   0, "", {}, in.ConsumeIntegral<std::uint8_t>() < 16};
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) facts.access.push_back(Entry(in));
  return facts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TrustedAccounts trusted({kAccounts[kTrusted], kAccounts[kTrusted + 1]});
  FuzzedDataProvider in(data, size);
  const EntryFacts facts = Facts(in), parent = Facts(in);
  const Role role = in.PickValueInArray({Role::kAbove, Role::kKept, Role::kInside});
  const EntryFacts* holder = in.ConsumeBool() ? &parent : nullptr;
  const bool folder = facts.kind != Kind::kFile;  // what it should be: anything else is refused
  const auto before = Problem(facts, trusted, role, folder, holder);
  const auto with = [&](const AccessEntry& entry) {
    EntryFacts more = facts;
    const size_t at = in.ConsumeIntegralInRange<size_t>(0, facts.access.size());
    more.access.insert(more.access.begin() + at, entry);
    return Problem(more, trusted, role, folder, holder);
  };
  // Allowing others more never turns a refusal into trust.
  AccessEntry entry = Entry(in, 0, kLastOther);
  entry.allow = true;
  if (!before.empty() && with(entry).empty()) __builtin_trap();
  // A deny entry changes nothing, a list being trusted only on what it allows; nor does an
  // entry that reaches no one but the trusted accounts.
  entry.allow = false;
  if (with(entry) != before || with(Entry(in, kTrusted)) != before) __builtin_trap();
  // Inside a kept folder only an entry's own entries count, never the inherited ones.
  entry = Entry(in);
  entry.inherited = true;
  if (role == Role::kInside && with(entry) != before) __builtin_trap();
  // An inherit-only entry does not count on the entry itself, only on what is made in a kept
  // folder, as one passed on (OI, CI) ...
  const bool kept_folder = role != Role::kAbove && facts.kind == Kind::kFolder;
  entry = Entry(in);
  entry.inherit_only = true;
  if (!(kept_folder && entry.inheritable) && with(entry) != before) __builtin_trap();
  // ... where one letting others change anything refuses it, inherit-only or not.
  entry = {true, kAccounts[in.ConsumeIntegralInRange(0, kLastOther)],
           kRights[in.ConsumeIntegralInRange(1, 8)], in.ConsumeBool(),
           in.ConsumeBool() && role != Role::kInside, true};
  if (kept_folder && with(entry).empty()) __builtin_trap();
  return 0;
}
