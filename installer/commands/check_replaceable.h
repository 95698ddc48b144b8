#ifndef TOLVARIN_INSTALLER_COMMANDS_CHECK_REPLACEABLE_H_
#define TOLVARIN_INSTALLER_COMMANDS_CHECK_REPLACEABLE_H_

// check-replaceable FOLDER NAME...: whether Setup can replace each file FOLDER\NAME, before it
// changes anything: a file that is open anywhere (the running server's jars) can be neither
// deleted nor overwritten, and a folder, a link, another owner's file or one whose own entries
// let others change it is not Setup's. A missing file is fine. Run after files are written,
// it shows them Setup's own: nobody holds them open and nobody else can change them. Says which
// files are not, and exits kInUse when the only trouble is files in use.

#include "installer/commands/helper_command.h"

namespace tolvarin::installer {

extern const HelperCommand kCheckReplaceableCommand;

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_CHECK_REPLACEABLE_H_
