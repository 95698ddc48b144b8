#ifndef TOLVARIN_INSTALLER_RULE_FOLDER_TRUST_H_
#define TOLVARIN_INSTALLER_RULE_FOLDER_TRUST_H_

// Whether a folder or file that already exists may hold what Setup puts there. Everything in
// C:\quarvel\GsmModemJar ends up loaded by a Java runtime and everything in the install folder
// runs as whoever starts it, so an entry is kept only when nobody but an administrator can have
// put anything there or can still change it: no link anywhere, every entry owned by a trusted
// account, and no access list that lets anyone else remove, rename, re-permission or fill it.
// Who owns a folder says little on its own: one an administrator made under C:\ inherits
// "Authenticated Users: Modify" from the root.

#include <cstdint>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {

// A failure as every message of Setup's helper gives it: "(error <number>: <text>)".
String ErrorNote(long number, const String& text);

// Access rights as Windows numbers them; only those the rule needs.
namespace rights {
inline constexpr std::uint32_t kWriteData = 0x2;     // a folder: add a file
inline constexpr std::uint32_t kAppendData = 0x4;    // a folder: add a subfolder
inline constexpr std::uint32_t kDeleteChild = 0x40;  // a folder: delete or rename what it holds
inline constexpr std::uint32_t kDelete = 0x10000;
inline constexpr std::uint32_t kWriteDac = 0x40000;
inline constexpr std::uint32_t kWriteOwner = 0x80000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
}  // namespace rights

// One entry of an access list.
struct AccessEntry {
  bool allow = true;          // false: a deny entry
  String sid;            // whom it names, as text ("S-1-5-11")
  std::uint32_t mask = 0;     // the rights, generic ones included
  bool inherit_only = false;  // applies to what is made inside, not to this entry itself
  bool inherited = false;     // came from the folder above
  bool inheritable = false;   // passed on to files or folders made inside (OI or CI)
};

// An entry as seen through one handle opened without following a link.
struct EntryFacts {
  enum class Kind { kMissing, kFolder, kFile, kLink, kUnopenable };
  Kind kind = Kind::kMissing;
  String owner;       // kFolder, kFile: the owner's SID as text ("S-1-5-32-544")
  long error = 0;          // kUnopenable: the system's error number
  String error_text;  // kUnopenable: its description
  Vector<AccessEntry> access;  // kFolder, kFile: its access list
  bool no_access_list = false;      // kFolder, kFile: none at all, so everyone may do anything
};

// The accounts (SIDs as text) trusted to own entries and to hold rights over them.
class TrustedAccounts {
 public:
  explicit TrustedAccounts(Vector<String> sids) : sids_(std::move(sids)) {}
  // Whether `sid` is trusted.
  bool Contains(const String& sid) const;

 private:
  Vector<String> sids_;
};

// How an entry is used, which decides what nobody else may be able to do to it.
enum class Role {
  kAbove,   // a folder above one Setup keeps: delete or rename it, change its list or owner
  kKept,    // a folder Setup keeps: the same, add to it, delete or rename what it holds, or
            // change what is made in it (its inheritable entries); a file: delete, rename,
            // re-permission or write it
  kInside,  // an entry inside a kept folder, whose inherited entries Setup replaces: as kKept,
            // on its own entries only
};

// The file system as the rule sees it. The Windows view opens each entry once, without
// following a link.
class EntryView {
 public:
  virtual ~EntryView() = default;
  // The entry at `path`; kMissing when there is none, kUnopenable when it cannot be opened.
  virtual EntryFacts Inspect(const String& path) = 0;
  // The names in the folder at `path`; fails when it cannot be listed.
  virtual platform::Result<Vector<String>> List(const String& path) = 0;
};

// Who but `trusted` can change the entry `facts` in its `role`, as the rest of a sentence that
// starts with its path ("lets Everyone (S-1-1-0) delete or rename it"); empty when nobody can.
// `parent`, when given, is the folder holding it, whose delete-child right deletes or renames
// it too. Deny entries are not weighed: a list is trusted only on what it allows. For a kept
// folder, what its entries pass on to files and folders made inside counts as well, inherit-only
// ones included: Setup's own files there would get those rights.
String OthersWhoCanChange(const EntryFacts& facts, Role role, const TrustedAccounts& trusted,
                          const EntryFacts* parent = nullptr);

// What is wrong with an existing entry that should be a folder (or, with `folder` false, a
// file) in `role`, as the rest of a sentence that starts with its path ("is a link to another
// place"); empty when it may be kept. `parent` as for OthersWhoCanChange.
String Problem(const EntryFacts& facts, const TrustedAccounts& trusted, Role role,
               bool folder = true, const EntryFacts* parent = nullptr);

// The first entry inside `folder`, at any depth, that may not be kept (Role::kInside), as
// "<path> <problem>"; empty when there is none. A link is reported, never followed.
String FirstProblemInside(EntryView& view, const String& folder,
                          const TrustedAccounts& trusted);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_RULE_FOLDER_TRUST_H_
