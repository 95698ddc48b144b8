#include "installer/helper_command.h"

#include <windows.h>

#include <utility>

#include "installer/check_replaceable.h"
#include "installer/place_file.h"
#include "installer/prepare_runtime.h"
#include "installer/protect_folder.h"
#include "installer/security_win32.h"
#include "installer/uninstall.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

// One line per command; a new command adds its own.
const HelperCommand* const kCommands[] = {
    &kCheckFolderCommand,
    &kProtectFolderCommand,
    &kCheckReplaceableCommand,
    &kPlaceCommand,
    &kPrepareRuntimeCommand,
    &kUninstallCommand,
};

// Where what the process says goes: one output per process, like standard output itself.
struct Transcript {
  bool marked = false;  // the byte-order mark has gone to standard output
  UniqueHandle log;     // --log FILE, appended to
  std::wstring unsaid;  // said with no standard output, for ShowWhatWasSaid
};

Transcript& TheTranscript() {
  static Transcript transcript;
  return transcript;
}

void OpenLog(const std::wstring& path) {
  UniqueHandle log(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) {
    const DWORD error = ::GetLastError();
    Say("Cannot write the log " + WideToUtf8(path) + " " + SystemFailure(error) + ".");
    return;
  }
  LARGE_INTEGER size{};
  DWORD written = 0;
  if (::GetFileSizeEx(log.get(), &size) && size.QuadPart == 0) {
    ::WriteFile(log.get(), L"\xFEFF", sizeof(wchar_t), &written, nullptr);
  }
  TheTranscript().log.reset(log.release());
}

std::function<void(const std::string&)>& SaySink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

void SayUsage() {
  Say("usage: TolvarinHelper [--log FILE] <command> <argument>...");
  for (const HelperCommand* command : kCommands) {
    Say("  " + WideToUtf8(command->name) + " " + command->arguments);
  }
}

}  // namespace

HelperContext MakeHelperContext() { return HelperContext{win32::TrustedAccountsOfSetup()}; }

int RunHelperCommand(const std::vector<std::wstring>& arguments, const HelperContext& context) {
  auto first = arguments.begin();
  if (arguments.size() >= 2 && arguments[0] == L"--log") {
    OpenLog(arguments[1]);
    first += 2;
  }
  for (const HelperCommand* command : kCommands) {
    if (first == arguments.end() || *first != command->name) continue;
    const int status = command->run({first + 1, arguments.end()}, context);
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
  Transcript& transcript = TheTranscript();
  const std::wstring text = Utf8ToWide(line) + L"\r\n";
  DWORD written = 0;
  if (transcript.log.valid()) {
    ::WriteFile(transcript.log.get(), text.data(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  }
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    transcript.unsaid += text;
  } else if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::wstring bytes = transcript.marked ? text : L"\xFEFF" + text;
    transcript.marked = true;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size() * sizeof(wchar_t)), &written,
                nullptr);
  }
}

void ShowWhatWasSaid() {
  const std::wstring& unsaid = TheTranscript().unsaid;
  if (!unsaid.empty()) ::MessageBoxW(nullptr, unsaid.c_str(), L"Tolvarin", MB_OK);
}

}  // namespace tolvarin::installer
