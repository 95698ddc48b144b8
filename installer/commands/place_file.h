#ifndef TOLVARIN_INSTALLER_COMMANDS_PLACE_FILE_H_
#define TOLVARIN_INSTALLER_COMMANDS_PLACE_FILE_H_

// How Setup's files come to be Setup's own even where someone kept a handle to the folder from
// before it was protected (an older version made it, or an administrator made it by hand), with
// which they could still add files: Setup writes each file under a new name, this command opens
// it once, judges it through that handle and renames it through the same handle into place.
// Whatever the name held before (or was given meanwhile) is replaced, and no handle opened
// earlier refers to the file that ends up there.
//
//   place FOLDER NAME...   puts FOLDER\NAME<kNewSuffix>, just written by Setup, in place of
//                          FOLDER\NAME. Each is opened sharing neither writing nor deletion and
//                          placed only when it is a real file with one name, of a trusted
//                          owner, that nobody else can change. Stops at the first that is not.

#include <windows.h>

#include "installer/commands/helper_command.h"
#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::installer {

// What Setup adds to a name to write the file that place puts in place.
inline constexpr wchar_t kNewSuffix[] = L".tolvarin-new";

// Exit statuses of place besides kDone, kRefused (a new file not safe to place), kInUse (the
// file it replaces, or the new one, is open) and kFailed.

// Renames the file open through `file` (opened with DELETE) to the full path `path`, replacing
// what is there; ERROR_SUCCESS, or why not.
DWORD RenameThroughHandle(HANDLE file, const WString& path);

// Writes `bytes` to `path` as place would leave it: a new file, made with owner Administrators
// and a protected list in the call that creates it, then renamed into place.
platform::Outcome WriteSetupFile(const WString& path, const String& bytes);

extern const HelperCommand kPlaceCommand;

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_PLACE_FILE_H_
