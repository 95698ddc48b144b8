#include <windows.h>

#include <memory>
#include <utility>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::platform {
namespace {

using win32::SystemError;
using win32::UniqueHandle;
using win32::Utf8ToWide;
using win32::WideToUtf8;

Result<WString> ModuleFileName() {
  Vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot read the program's path");
    }
    if (length < buffer.size()) return WString(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // truncated: long-path installs exceed MAX_PATH
  }
}

class Win32ProcessServices final : public ProcessServices {
 public:
  Result<String> ExecutableDirectory() const override {
    Result<WString> module = ModuleFileName();
    if (!module.ok()) return module.error();
    WString path = std::move(module).value();
    const size_t slash = path.find_last_of(L"\\/");
    path.erase(slash == WString::npos ? 0 : slash);
    if (path.size() == 2 && path[1] == L':') path += L'\\';  // a drive root keeps its separator
    return WideToUtf8(path);
  }

  Result<String> CurrentDirectory() const override {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot read the current directory");
    }
    WString path(needed, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(needed, path.data());
    if (length == 0 || length >= needed) {
      // Grown since the first call: no system error, so say what happened.
      const DWORD error = length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER;
      return SystemError(error, "Cannot read the current directory");
    }
    path.resize(length);
    return WideToUtf8(path);
  }

  Outcome ChangeDirectory(const String& path) override {
    const Result<WString> wide = Utf8ToWide(path);
    if (!wide.ok()) return wide.error();
    if (!::SetCurrentDirectoryW(wide->c_str())) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot change to the directory " + path);
    }
    return {};
  }

  Outcome StartHidden(const NativeCommand& command) override {
    // CreateProcessW may write into the command line, so it gets a private copy.
    Result<WString> wide = Utf8ToWide(command.command_line);
    if (!wide.ok()) return wide.error();
    WString line = std::move(wide).value();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // The server inherits only its command line and the current directory.
    const win32::InheritedDllSearchLifted dll_search;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot start " + command.command_line);
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return {};
  }

  [[noreturn]] void EndProcess(int status) override {
    ::ExitProcess(static_cast<UINT>(status));
  }
};

}  // namespace

std::unique_ptr<ProcessServices> MakeNativeProcessServices() {
  return std::make_unique<Win32ProcessServices>();
}

}  // namespace tolvarin::platform
