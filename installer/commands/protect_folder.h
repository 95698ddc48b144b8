#ifndef TOLVARIN_INSTALLER_COMMANDS_PROTECT_FOLDER_H_
#define TOLVARIN_INSTALLER_COMMANDS_PROTECT_FOLDER_H_

// The folders Setup writes to, made or kept so that only administrators can put anything there.
//
//   check-folder PATH...    whether each folder can be made or kept, changing nothing: every
//                           existing folder above it real, of a trusted owner, and neither
//                           removable, renamable nor re-permissionable by anyone else (whoever
//                           can could move the folder away and put another in its place); the
//                           folder itself missing, or real, of a trusted owner, nobody else
//                           able to do that or to add to it, with nothing inside that is a link,
//                           of another owner, or that others can change by its own entries.
//   protect-folder PATH...  the same, making each missing folder (and those above it) with
//                           the protected list and owner in the one call that creates it,
//                           through the handle of the folder above it and never following a
//                           link at its name; or giving an existing one that list through the
//                           handle it was judged by once what lies inside is judged (and
//                           again after). Every folder above is opened relative to the one
//                           above it from the drive's root down, and everything is made through
//                           those handles, so nothing above can be swapped underneath.
//                           What it makes or keeps stays open, without delete sharing, until it
//                           ends. Stops at the first that is not safe; a folder it protected
//                           stays protected.

#include <windows.h>

#include <optional>

#include "installer/commands/helper_command.h"
#include "platform/error.h"
#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {

// A folder held open, opened relative to the folder above it without following a link (and
// without delete sharing once Setup made or kept it): while it is held, what lies beneath it is
// reached through this handle, whatever becomes of its path.
struct HeldFolder {
  WString path;
  platform::win32::UniqueHandle handle;
  EntryFacts facts;
};

// The folders above `path` as check-folder judges them. Each existing one is opened relative to
// the one above it, from the drive's root down, never following a link, and judged through that
// handle: a folder above that someone turns into a link (an empty one they may write to can be
// made a junction in place) can redirect only what is opened by path, never what is made
// through these handles.
struct FoldersAbove {
  Vector<WString> missing;  // those that do not exist, nearest first
  Vector<HeldFolder> held;  // those that exist, from the root down, each open to be judged,
                            // protected and made in
  WString unsafe;  // the first, from the root down, that someone else owns or could remove,
                   // rename or re-permission (then put another in its place), or empty
  String problem;  // what is wrong with `unsafe`, as Problem gives it
  // The facts of the folder holding `path` when it exists and was judged, otherwise null.
  const EntryFacts* holder() const {
    return missing.empty() && unsafe.empty() && !held.empty() ? &held.back().facts : nullptr;
  }
};
FoldersAbove JudgeFoldersAbove(const WString& path, const TrustedAccounts& trusted);

// The first folder in `held` that is no longer a real folder, as its handle and its name show
// now, or empty: one that became a link since it was opened leads whatever is opened by its path
// elsewhere. A folder that holds anything cannot become a link any more.
WString BecameLink(const Vector<HeldFolder>& held);

// Whether the existing folder `path` passes check-folder's rule; says why not.
bool FolderTrusted(const WString& path, const HelperContext& context);

// While set, protect-folder hands `sink` each folder it makes, with the handle that made it (the
// folder's own, with FILE_READ_ATTRIBUTES and READ_CONTROL), right after the call that made it
// and before it makes the next: the package's rollback removes only those. A failure `sink`
// returns is said and ends the command. Empty: none.
void SetMadeFolderSink(Function<platform::Outcome(const WString& path, HANDLE folder)> sink);

extern const HelperCommand kCheckFolderCommand;
extern const HelperCommand kProtectFolderCommand;

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_PROTECT_FOLDER_H_
