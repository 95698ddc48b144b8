#ifndef TOLVARIN_INSTALLER_RULE_LOCAL_FOLDER_H_
#define TOLVARIN_INSTALLER_RULE_LOCAL_FOLDER_H_

#include "platform/text.h"

// Which folder paths Setup and the package accept for what they make or keep (/D=,
// INSTALLFOLDER, the helper's folders and --log): only an absolute path on a drive letter, in
// the one spelling every walk up its folders understands. Anything else either names another
// place than it seems to (\C:\Apps lies on the current drive, C:Apps in the current folder,
// "Apps." is "Apps"), reaches another machine (\\server\share, \\?\UNC\...), or has no folder
// above it for a walk to stop at (Apps\Tolvarin).

namespace tolvarin::installer {

// Why `path` (UTF-8) is not such a path, as the rest of a sentence that starts with it ("is not
// an absolute path on a drive: ..."); empty when it is. Separators at its end are fine.
String LocalFolderProblem(const String& path);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_RULE_LOCAL_FOLDER_H_
