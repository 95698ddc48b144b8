#include "installer/helper_command.h"

#include <windows.h>

#include <utility>

#include "installer/check_replaceable.h"
#include "installer/prepare_runtime.h"
#include "installer/protect_folder.h"
#include "installer/security_win32.h"
#include "installer/uninstall.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

// One line per command; a new command adds its own.
const HelperCommand* const kCommands[] = {
    &kCheckFolderCommand,
    &kProtectFolderCommand,
    &kCheckReplaceableCommand,
    &kPrepareRuntimeCommand,
    &kUninstallCommand,
};

std::function<void(const std::string&)>& SaySink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

void SayUsage() {
  Say("usage: TolvarinHelper <command> <argument>...");
  for (const HelperCommand* command : kCommands) {
    Say("  " + platform::win32::WideToUtf8(command->name) + " " + command->arguments);
  }
}

}  // namespace

HelperContext MakeHelperContext() {
  return HelperContext{win32::OwnersOfKeptEntries(), win32::OwnersOfParents()};
}

int RunHelperCommand(const std::vector<std::wstring>& arguments, const HelperContext& context) {
  for (const HelperCommand* command : kCommands) {
    if (arguments.empty() || arguments[0] != command->name) continue;
    const int status = command->run({arguments.begin() + 1, arguments.end()}, context);
    if (status != kUsage) return status;
    break;
  }
  SayUsage();
  return kUsage;
}

std::string SystemFailure(unsigned long error) {
  return ErrorNote(static_cast<long>(error), platform::win32::SystemErrorText(error));
}

void SetSaySink(std::function<void(const std::string& line)> sink) { SaySink() = std::move(sink); }

void Say(const std::string& line) {
  if (SaySink()) {
    SaySink()(line);
    return;
  }
  static bool marked = false;
  const std::wstring text = platform::win32::Utf8ToWide(line) + L"\r\n";
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::wstring bytes = marked ? text : L"\xFEFF" + text;
  marked = true;
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size() * sizeof(wchar_t)), &written,
              nullptr);
}

}  // namespace tolvarin::installer
