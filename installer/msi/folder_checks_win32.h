#ifndef TOLVARIN_INSTALLER_MSI_FOLDER_CHECKS_WIN32_H_
#define TOLVARIN_INSTALLER_MSI_FOLDER_CHECKS_WIN32_H_

// The commands the package's actions run themselves rather than the helper's: whether the folders
// named are the ones this package may write to, and whether those written to are still the very
// ones made or kept. Each says why it refuses and returns a helper command's status.

#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer::msi {

// package-folders QUARVEL GSMMODEMJAR INSTALLFOLDER: the support folders must be the
// launcher's; the install folder an absolute local path and, while an install is recorded, the
// recorded one (a repair, upgrade or removal acts on that install alone, whatever its command
// line gave), otherwise a new or empty one (once `written`, holding the install's own files).
// Judged from the registry, not from a property another process could have set.
int PackageFoldersCommand(const Vector<WString>& arguments, bool written);

// written-folders NOTES QUARVEL GSMMODEMJAR INSTALLFOLDER, after the files are written: each
// of the three folders exists and is a real folder, and every folder NOTES lists as made by this
// transaction is still that very folder. A folder that was moved away, or a link put in place
// of one, since it was made or judged means the files went somewhere else.
int WrittenFoldersCommand(const Vector<WString>& arguments);

}  // namespace tolvarin::installer::msi

#endif  // TOLVARIN_INSTALLER_MSI_FOLDER_CHECKS_WIN32_H_
