// Stands in for java.exe in end-to-end tests: appends its exact command line, working
// directory, DLL directory (GetDllDirectoryW) and how its window is to be shown, UTF-8, to the
// file named by TOLVARIN_STUB_RECORD (shared: two at once each append whole), then exits 0.
#include <windows.h>

#include <string>

#include "platform/win32_util.h"

int wmain() {
  using tolvarin::platform::win32::WideToUtf8;
  wchar_t record_path[MAX_PATH * 4];
  if (!::GetEnvironmentVariableW(L"TOLVARIN_STUB_RECORD", record_path, MAX_PATH * 4)) return 3;
  wchar_t directory[MAX_PATH * 4];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, directory);
  wchar_t dll_directory[MAX_PATH * 4];
  const DWORD dll_length = ::GetDllDirectoryW(MAX_PATH * 4, dll_directory);
  STARTUPINFOW startup{};
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  const tolvarin::String record = "CMD " + WideToUtf8(::GetCommandLineW()) + "\nCWD " +
                             WideToUtf8(tolvarin::WString(directory, length)) + "\nDLL " +
                             WideToUtf8(tolvarin::WString(dll_directory, dll_length)) + "\nSHOW " +
                             tolvarin::DecimalString(show) + "\n";
  tolvarin::platform::win32::UniqueHandle file(
      ::CreateFileW(record_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 4;
  DWORD written = 0;
  ::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  return written == record.size() ? 0 : 5;
}
