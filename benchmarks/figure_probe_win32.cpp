// Times the launcher's splash from inside Wine for the figure scripts, one JSON object on
// standard output:
//   figure_probe drawn <launcher.exe>  ms from CreateProcess to the splash shown, painted and
//                                      idle, and the peak working set; then ends the launcher
//   figure_probe close <timeout-ms>    ms from a posted WM_CLOSE to the window's destruction and
//   figure_probe send-close <ms>       to the process's end (null: still running), or a sent one
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>

#include "platform/text.h"
#include "platform/win32_util.h"

namespace {

using tolvarin::DecimalString;
using tolvarin::WString;
using tolvarin::platform::win32::UniqueHandle;

HWND WaitForSplash(int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 5) {
    HWND window = ::FindWindowW(L"TolvarinSplash", nullptr);
    if (window && ::IsWindowVisible(window)) return window;
    ::Sleep(5);
  }
  return nullptr;
}

long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

int Drawn(const WString& launcher) {
  WString command = L"\"" + launcher + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  const auto start = std::chrono::steady_clock::now();
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
    return 1;
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  // Shown, then painted by UpdateWindow before the launcher first waits for a message.
  const bool drawn = WaitForSplash(20000) && ::WaitForInputIdle(process.get(), 5000) == 0;
  const long long drawn_ms = MsSince(start);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(process.get(), &memory, sizeof(memory));
  ::TerminateProcess(process.get(), 0);
  ::WaitForSingleObject(process.get(), 5000);
  if (!drawn) return 1;
  std::printf("{\"drawn_ms\": %lld, \"peak_working_set_kb\": %llu}\n", drawn_ms,
              static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
  return 0;
}

int Close(int timeout_ms, bool send) {
  HWND window = WaitForSplash(timeout_ms);
  if (!window) return 1;
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  const auto start = std::chrono::steady_clock::now();
  if (send) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &result);
  } else {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  while (::IsWindow(window) && MsSince(start) < timeout_ms) ::Sleep(1);
  const long long gone_ms = MsSince(start);
  const bool ended = ::WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0;
  std::printf("{\"gone_ms\": %lld, \"ended_ms\": %s}\n", gone_ms,
              ended ? DecimalString(MsSince(start)).c_str() : "null");
  return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 64;
  const WString command = argv[1];
  int status = 64;
  if (command == L"drawn") status = Drawn(argv[2]);
  if (command == L"close" || command == L"send-close") {
    status = Close(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), command == L"send-close");
  }
  std::fflush(stdout);
  return status;
}
