#ifndef TOLVARIN_INSTALLER_FOLDER_TRUST_H_
#define TOLVARIN_INSTALLER_FOLDER_TRUST_H_

// Whether a folder that already exists may hold what Setup puts there. Everything in
// C:\quarvel\GsmModemJar ends up loaded by a Java runtime and everything in the install folder
// runs as whoever starts it, so a folder is kept only when nobody but an administrator can
// have put anything in it: no link anywhere, every entry owned by a trusted account.

#include <string>
#include <utility>
#include <vector>

namespace tolvarin::installer {

// A failure as every message of Setup's helper gives it: "(error <number>: <text>)".
std::string ErrorNote(long number, const std::string& text);

// An entry as seen through one handle opened without following a link.
struct EntryFacts {
  enum class Kind { kMissing, kFolder, kFile, kLink, kUnopenable };
  Kind kind = Kind::kMissing;
  std::string owner;       // kFolder, kFile: the owner's SID as text ("S-1-5-32-544")
  long error = 0;          // kUnopenable: the system's error number
  std::string error_text;  // kUnopenable: its description
};

// The accounts (SIDs as text) whose entries are trusted.
class TrustedOwners {
 public:
  explicit TrustedOwners(std::vector<std::string> sids) : sids_(std::move(sids)) {}
  // Whether entries owned by `sid` are trusted.
  bool Contains(const std::string& sid) const;
  // Trusts `sid` no more.
  void Remove(const std::string& sid);

 private:
  std::vector<std::string> sids_;
};

// The file system as the rule sees it. The Windows view opens each entry once, without
// following a link.
class EntryView {
 public:
  virtual ~EntryView() = default;
  // The entry at `path`; kMissing when there is none, kUnopenable when it cannot be opened.
  virtual EntryFacts Inspect(const std::string& path) = 0;
  // The names in the folder at `path`; throws platform::Error when it cannot be listed.
  virtual std::vector<std::string> List(const std::string& path) = 0;
};

// What is wrong with an existing entry that should be a folder (or, with `folder` false, a
// file), as the rest of a sentence that starts with its path ("is a link to another place");
// empty when it may be kept.
std::string Problem(const EntryFacts& facts, const TrustedOwners& owners, bool folder = true);

// The first entry inside `folder`, at any depth, that may not be kept, as "<path> <problem>";
// empty when there is none. A link is reported, never followed.
std::string FirstProblemInside(EntryView& view, const std::string& folder,
                               const TrustedOwners& owners);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_FOLDER_TRUST_H_
