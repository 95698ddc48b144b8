#ifndef TOLVARIN_INSTALLER_COMMANDS_PREPARE_RUNTIME_H_
#define TOLVARIN_INSTALLER_COMMANDS_PREPARE_RUNTIME_H_

// The Java runtime that Varnolet.exe will choose, made ready by Setup, which runs elevated: a
// user who may not write into the runtime then finds the serial-port support files there at the
// first launch.
//
//   prepare-runtime LOG   chooses the runtime by the launcher's own rule and copies into it the
//                         support files it lacks, from C:\quarvel\GsmModemJar, as the launcher
//                         would, but only through its bin, lib and lib\ext folders opened
//                         without following a link, and only when nobody but an administrator
//                         can change them; says what it found and did, which support files
//                         there differ from Setup's (kept, as the launcher keeps them), and what
//                         the user must do when the runtime is not ready, and writes the same
//                         lines to LOG, anew. Exit statuses: installer/rule/runtime_report.h; the
//                         install goes on whatever they are. The Start-menu entry "Prepare Java
//                         for Tolvarin" runs it for a runtime installed later.

#include "installer/commands/helper_command.h"

namespace tolvarin::installer {

extern const HelperCommand kPrepareRuntimeCommand;

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_PREPARE_RUNTIME_H_
