// Starts the launcher named on the command line, waits until its splash window is shown
// and drawn, freezes the launcher's user-interface thread so that no tick can close the
// splash, and prints what the screenshot test needs to know, one "key values" line each:
//   dpi <dpi>
//   work <left> <top> <right> <bottom>        the screen's work area
//   window <left> <top> <right> <bottom>      the splash window, frame included
//   client <left> <top> <width> <height>      its client area in screen coordinates
//   style <style> <extended style>            in hexadecimal
//   drawn_ms <milliseconds from CreateProcess until shown, drawn and idle>
//   peak_working_set_kb <kilobytes>
//   ready
// Then it waits for a line (or end of file) on standard input, ends the launcher and exits.
// Exit status 0 on success, 1 when the launcher could not be started or showed no splash.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/win32_util.h"

namespace {

using tolvarin::platform::win32::UniqueHandle;

constexpr wchar_t kSplashClass[] = L"TolvarinSplash";
constexpr auto kPatience = std::chrono::seconds(20);

struct Search {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindSplash(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t name[64] = {};
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->process_id && ::GetClassNameW(window, name, 64) > 0 &&
      std::wstring(name) == kSplashClass && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: splash_probe <launcher.exe>\n");
    return 1;
  }
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  const auto start = std::chrono::steady_clock::now();
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    std::fprintf(stderr, "cannot start the launcher: error %lu\n", ::GetLastError());
    return 1;
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);

  Search search{started.dwProcessId, nullptr};
  while (search.found == nullptr && std::chrono::steady_clock::now() - start < kPatience) {
    ::EnumWindows(&FindSplash, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Shown, then painted by UpdateWindow before the launcher first waits for a message.
  const bool idle = search.found != nullptr && ::WaitForInputIdle(process.get(), 5000) == 0;
  const auto drawn = std::chrono::steady_clock::now();
  if (!idle) {
    std::fprintf(stderr, "no splash window appeared\n");
    ::TerminateProcess(process.get(), 1);
    return 1;
  }
  // Time for the window surface to reach the X server before the thread stops.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::SuspendThread(thread.get());

  const HWND window = search.found;
  HDC screen = ::GetDC(nullptr);
  std::printf("dpi %d\n", ::GetDeviceCaps(screen, LOGPIXELSY));
  ::ReleaseDC(nullptr, screen);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  std::printf("work %ld %ld %ld %ld\n", work.left, work.top, work.right, work.bottom);
  RECT outer{};
  ::GetWindowRect(window, &outer);
  std::printf("window %ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
  RECT client{};
  ::GetClientRect(window, &client);
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
  std::printf("style %lx %lx\n", static_cast<unsigned long>(::GetWindowLongW(window, GWL_STYLE)),
              static_cast<unsigned long>(::GetWindowLongW(window, GWL_EXSTYLE)));
  std::printf("drawn_ms %lld\n", static_cast<long long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(drawn - start).count()));
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (::GetProcessMemoryInfo(process.get(), &memory, sizeof(memory))) {
    std::printf("peak_working_set_kb %llu\n",
                static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
  }
  std::printf("ready\n");
  std::fflush(stdout);

  char line[16];
  std::fgets(line, sizeof(line), stdin);
  ::TerminateProcess(process.get(), 0);
  ::WaitForSingleObject(process.get(), 5000);
  return 0;
}
