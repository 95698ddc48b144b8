#ifndef TOLVARIN_INSTALLER_HELPER_COMMAND_H_
#define TOLVARIN_INSTALLER_HELPER_COMMAND_H_

// TolvarinHelper.exe, the program Setup runs for the decisions that keep its folders and files
// safe: `TolvarinHelper <command> <argument>...`. Each command lives in a file of its own and is
// listed once, in helper_command_win32.cpp. What a command says goes to standard output, one line
// per fact, which Setup shows in its details (never in a box: Setup may be silent).

#include <functional>
#include <string>
#include <vector>

#include "installer/folder_trust.h"

namespace tolvarin::installer {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;  // something is not safe to use; what was said names it
inline constexpr int kInUse = 32;   // a file to replace is open (ERROR_SHARING_VIOLATION)
inline constexpr int kUsage = 64;

// What every command may rely on.
struct HelperContext {
  TrustedOwners kept;     // who may own a kept folder and everything in it
  TrustedOwners parents;  // who may own a folder above one
};

struct HelperCommand {
  const wchar_t* name;
  const char* arguments;  // for the usage text
  // The exit status; kUsage when the arguments are not the command's.
  int (*run)(const std::vector<std::wstring>& arguments, const HelperContext& context);
};

// The helper as Setup runs it: the account running it, and the usual trusted owners. Throws
// platform::Error.
HelperContext MakeHelperContext();

// Runs the command that `arguments` names, with the rest as its arguments; its exit status, or
// kUsage, after the usage text, for an unknown command or arguments it does not take.
int RunHelperCommand(const std::vector<std::wstring>& arguments, const HelperContext& context);

// The system's error `error` (GetLastError) as ErrorNote gives it.
std::string SystemFailure(unsigned long error);

// Writes `line` (UTF-8) and a line break to standard output: to a console as text, elsewhere as
// UTF-16LE after a byte-order mark, which Setup's nsExec recognises.
void Say(const std::string& line);

// While set, Say hands each line to `sink` instead: the MSI's custom actions run the commands
// inside Windows Installer, whose log is where their lines belong. Empty: standard output again.
void SetSaySink(std::function<void(const std::string& line)> sink);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_HELPER_COMMAND_H_
