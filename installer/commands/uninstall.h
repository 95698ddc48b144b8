#ifndef TOLVARIN_INSTALLER_COMMANDS_UNINSTALL_H_
#define TOLVARIN_INSTALLER_COMMANDS_UNINSTALL_H_

// uninstall [/S]: what Add/Remove Programs and deployment tools run (UninstallString,
// QuietUninstallString). Runs Setup's uninstaller, Uninstall.exe beside this program, and ends
// only once it has ended, with its exit status, so that whoever started this gets the real one.
//
// A running NSIS uninstaller holds its own file open without sharing deletion: it can be
// neither deleted nor moved, and started without _?= it hands the work to a copy of itself and
// ends at once, with 0. So this program copies it into a new folder in the temporary folder that
// only administrators can write to, under a random name nobody can make first, and runs the copy
// on the install folder (_?=). This program
// itself, which holds no handle to its file, first moves into that folder, out of the install
// folder, and is deleted there at the next restart, with the folder; that file is no part of the
// install and needs no restart to be harmless. On another drive it cannot move: the uninstaller
// then removes it at the next restart and says so (3010). When the uninstall did not happen (it
// was cancelled or not elevated), this program moves back.
//
// It runs only the uninstaller of the install that Add/Remove Programs records (its
// InstallLocation, 32-bit view), from that folder, and only when the folder passes
// check-folder's rule: a copy of this signed program beside another Uninstall.exe runs nothing.
// The uninstaller deletes from C:\quarvel and C:\quarvel\GsmModemJar too: each that exists must
// pass the same rule before anything runs, and the uninstaller judges all three again itself.
// Exit status: the uninstaller's (0, 1 cancelled, 3 not all removed, 6 a folder it deletes from
// is not safe, 740, 3010), 2 when it could not be started, 4 when this is not the recorded
// install or its folder is not safe, 6 when C:\quarvel or its GsmModemJar is not (all three:
// nothing was removed).

#include "installer/commands/helper_command.h"

namespace tolvarin::installer {

extern const HelperCommand kUninstallCommand;

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_UNINSTALL_H_
