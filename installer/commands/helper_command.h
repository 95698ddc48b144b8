#ifndef TOLVARIN_INSTALLER_COMMANDS_HELPER_COMMAND_H_
#define TOLVARIN_INSTALLER_COMMANDS_HELPER_COMMAND_H_

// TolvarinHelper.exe, the program Setup runs for the decisions that keep its folders and files
// safe: `TolvarinHelper [--log FILE] <command> <argument>...`; `note TEXT...` only says TEXT,
// which is how Setup writes its own lines into the log. Each command lives in a file of
// its own and is listed once, in helper_command_win32.cpp. What a command says goes to standard
// output, one line per fact, which Setup shows in its details (never in a box: Setup may be
// silent), and is appended to FILE when --log names one (Setup's /LOG=). Started with no
// standard output at all (from the Start menu, or by Add/Remove Programs), it shows what it said
// in one box at the end, unless told /S.

#include "platform/function.h"

#include "installer/rule/folder_trust.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {

// Exit statuses every command shares; a command may add its own (installer/README.txt lists
// them all). 1 is never the helper's own: for the uninstall it is the uninstaller's "cancelled".
inline constexpr int kDone = 0;
inline constexpr int kRefused = 2;  // something is not safe to use; what was said names it
inline constexpr int kLogRefused = 5;  // --log names a file not safe to write; nothing was done
inline constexpr int kInUse = 32;   // a file to replace is open (ERROR_SHARING_VIOLATION)
inline constexpr int kUsage = 64;
inline constexpr int kFailed = 70;  // the helper itself failed; what was said says where

// What every command may rely on.
struct HelperContext {
  TrustedAccounts trusted;  // who may own, and hold rights over, what Setup keeps
};

struct HelperCommand {
  const wchar_t* name;
  const char* arguments;  // for the usage text
  // The exit status; kUsage when the arguments are not the command's.
  int (*run)(const Vector<WString>& arguments, const HelperContext& context);
};

// The helper as Setup runs it: the account running it, and the usual trusted accounts.
platform::Result<HelperContext> MakeHelperContext();

// Runs the command that `arguments` names (after an optional --log FILE), with the rest as its
// arguments; its exit status, or kUsage, after the usage text, for an unknown command or
// arguments it does not take. FILE is appended to only when it is a real file of a trusted
// account with one name that nobody else may write, delete or re-permission, or new (created by
// a call that follows no link at its name, with the administrators' list), in an existing folder
// on a local drive that no link leads to and that nobody else can remove, rename or
// re-permission, nor any folder above it; otherwise nothing runs and the status is kLogRefused.
int RunHelperCommand(const Vector<WString>& arguments, const HelperContext& context);

// The system's error `error` (GetLastError) as ErrorNote gives it.
String SystemFailure(unsigned long error);

// Writes `line` (UTF-8) and a line break to standard output: to a console as text, elsewhere as
// UTF-16LE after a byte-order mark, which Setup's nsExec recognises; and to the log, if any.
void Say(const String& line);

// Shows in one box what was said while there was no standard output to say it to.
void ShowWhatWasSaid();

// While set, Say hands each line to `sink` instead: the MSI's custom actions run the commands
// inside Windows Installer, whose log is where their lines belong. Empty: standard output again.
void SetSaySink(Function<void(const String& line)> sink);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_COMMANDS_HELPER_COMMAND_H_
