// Looks at and drives the launcher's windows from outside, as a user would, for the
// end-to-end tests under Wine: `win_probe <command> <argument>`, one JSON object per line on
// standard output; exit status 0: found or done, 1: not within the time, 2 or 64: failed.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32_util.h"

namespace {

using tolvarin::platform::win32::UniqueHandle;
using tolvarin::platform::win32::WideToUtf8;

constexpr wchar_t kSplashClass[] = L"TolvarinSplash";
const HWND kDone = reinterpret_cast<HWND>(1);  // what a wait for something gone finds
constexpr int kPollMs = 5;

std::string Json(std::string_view text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c == '"' || c == '\\' ? "\\%c" : c < 0x20 ? "\\u%04x" : "%c", c);
    out += escaped;
  }
  return out + "\"";
}

template <typename Find>
HWND WaitFor(Find find, int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
    if (HWND window = find()) return window;
    ::Sleep(kPollMs);
  }
  return nullptr;
}

HWND FindShown(const wchar_t* window_class) {
  HWND window = ::FindWindowW(window_class, nullptr);
  return window && ::IsWindowVisible(window) ? window : nullptr;
}
HWND FindSplash() { return FindShown(kSplashClass); }

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

void PressKey(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

// The splash's geometry, styles and title as JSON members, without the braces.
std::string SplashFacts(HWND window) {
  RECT frame{};
  RECT client{};
  ::GetWindowRect(window, &frame);
  ::GetClientRect(window, &client);
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  char facts[512];
  std::snprintf(
      facts, sizeof facts,
      "\"frame\": [%ld, %ld, %ld, %ld], \"client_origin\": [%ld, %ld], \"client_size\": [%ld, "
      "%ld], \"work\": [%ld, %ld, %ld, %ld], \"style\": %lu, \"title\": ",
      frame.left, frame.top, frame.right, frame.bottom, origin.x, origin.y, client.right,
      client.bottom, work.left, work.top, work.right, work.bottom,
      static_cast<unsigned long>(::GetWindowLongW(window, GWL_STYLE)));
  return facts + Json(WideToUtf8(WindowText(window)));
}

// Runs `act` while the splash's user-interface thread is suspended, so that what it queues is
// handled before the timer's tick (a tick is made only when nothing else is queued), however
// slowly the launcher runs. False, without acting, when the splash is gone, or not shown and
// `shown` is asked for.
template <typename Act>
bool WhileFrozen(HWND window, bool shown, Act act) {
  const UniqueHandle thread(
      ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, ::GetWindowThreadProcessId(window, nullptr)));
  if (!thread.valid() || ::SuspendThread(thread.get()) == static_cast<DWORD>(-1)) return false;
  const bool there = shown ? ::IsWindowVisible(window) != FALSE : ::IsWindow(window) != FALSE;
  if (there) act();
  ::ResumeThread(thread.get());
  return there;
}

// Says that the probe is watching, so that the launcher can be started after it.
void SayWatching() {
  std::printf("{\"watching\": true}\n");
  std::fflush(stdout);
}

// Waits for the splash and prints its facts.
int Splash(int timeout_ms) {
  HWND window = WaitFor(FindSplash, timeout_ms);
  if (!window) return 1;
  std::printf("{%s}\n", SplashFacts(window).c_str());
  return 0;
}

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
}

// Clicks on the splash and presses keys while it is shown, waits for it to go and prints how
// long after its process was created that was; exits 1 when it was gone before the input.
int Poke(int timeout_ms) {
  SayWatching();
  HWND window = WaitFor(FindSplash, timeout_ms);
  if (!window) return 1;
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  FILETIME created{};
  FILETIME unused[3]{};
  if (!process.valid() || !::GetProcessTimes(process.get(), &created, &unused[0], &unused[1], &unused[2])) {
    return 2;
  }
  ::SetForegroundWindow(window);
  RECT frame{};
  ::GetWindowRect(window, &frame);
  ::SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
  const bool poked = WhileFrozen(window, true, [] {
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, click, sizeof(INPUT));
    for (const int key : {VK_ESCAPE, VK_RETURN, VK_SPACE, static_cast<int>('A'), VK_TAB}) {
      PressKey(static_cast<WORD>(key));
    }
  });
  if (!poked || !WaitFor([] { return FindSplash() ? nullptr : kDone; }, timeout_ms)) return 1;
  FILETIME gone{};
  ::GetSystemTimeAsFileTime(&gone);
  std::printf("{\"shown_ms\": %lld}\n", static_cast<long long>((Ticks(gone) - Ticks(created)) / 10000));
  return 0;
}

// Prints a message box's title and text, presses Return and waits for the box to close.
int Answer(int timeout_ms) {
  HWND box = WaitFor([] { return FindShown(L"#32770"); }, timeout_ms);
  if (!box) return 1;
  // The prompt is the box's static control 0xFFFF; give the text a moment to be set.
  ::Sleep(100);
  HWND prompt = ::GetDlgItem(box, 0xFFFF);
  const std::wstring text = prompt ? WindowText(prompt) : L"";
  const bool has_icon = ::GetDlgItem(box, 0x14) != nullptr;  // the icon control of MessageBox
  const bool has_ok = ::GetDlgItem(box, IDOK) != nullptr;
  std::printf("{\"title\": %s, \"text\": %s, \"icon\": %s, \"ok\": %s}\n",
              Json(WideToUtf8(WindowText(box))).c_str(), Json(WideToUtf8(text)).c_str(),
              has_icon ? "true" : "false", has_ok ? "true" : "false");
  std::fflush(stdout);
  ::SetForegroundWindow(box);
  PressKey(VK_RETURN);
  return WaitFor([box] { return ::IsWindow(box) ? nullptr : kDone; }, 5000) ? 0 : 2;
}

void CALLBACK IgnoreAnswer(HWND, UINT, ULONG_PTR, LRESULT) {}

// Closes the splash with a posted WM_CLOSE, or a sent one, as a task manager would, the moment
// its window exists, shown or not yet: then the close comes ahead of any tick, even for a
// launcher whose slow start leaves the splash on screen only briefly. 0 when its process then
// ends.
int Close(int timeout_ms, bool send) {
  SayWatching();
  HWND window = WaitFor([] { return ::FindWindowW(kSplashClass, nullptr); }, timeout_ms);
  if (!window) return 1;
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  const bool closed = WhileFrozen(window, false, [window, send] {
    if (send) {
      // Sent, not posted, yet without waiting for a thread that cannot answer until resumed.
      ::SendMessageCallbackW(window, WM_CLOSE, 0, 0, IgnoreAnswer, 0);
    } else {
      ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
  });
  return closed && ::WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0 ? 0 : 1;
}

// Both handles invalid when the command could not be started.
std::pair<UniqueHandle, UniqueHandle> Start(std::wstring command, DWORD flags) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, &started)) {
    return {};
  }
  return {UniqueHandle(started.hProcess), UniqueHandle(started.hThread)};
}

// Starts the launcher, suspends its user-interface thread once the splash is drawn (no tick
// can close it) and prints the splash's facts; ends the launcher at a line on standard input.
int Freeze(const std::wstring& launcher) {
  const auto [process, thread] = Start(L"\"" + launcher + L"\"", 0);
  if (!process.valid()) return 1;
  // Shown, then painted by UpdateWindow before the launcher first waits for a message.
  HWND window = WaitFor(FindSplash, 20000);
  if (!window || ::WaitForInputIdle(process.get(), 5000) != 0) {
    ::TerminateProcess(process.get(), 1);
    return 1;
  }
  ::Sleep(200);  // time for the window surface to reach the X server before the thread stops
  ::SuspendThread(thread.get());
  std::printf("{%s}\n", SplashFacts(window).c_str());
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof(line), stdin);
  ::TerminateProcess(process.get(), 0);
  ::WaitForSingleObject(process.get(), 5000);
  return 0;
}

// A shortcut's target, working directory and icon.
int Link(const std::wstring& path) {
  using Microsoft::WRL::ComPtr;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  // The target as Windows resolves it, through the item list: Wine's GetPath gives the ANSI
  // copy of the path that the shortcut also holds.
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ||
      FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ)) ||
      FAILED(link->GetIDList(&items))) {
    return 2;
  }
  const std::unique_ptr<ITEMIDLIST, decltype(&::CoTaskMemFree)> owned_items(items, &::CoTaskMemFree);
  wchar_t target[MAX_PATH] = L"";
  wchar_t directory[MAX_PATH] = L"";
  wchar_t icon[MAX_PATH] = L"";
  wchar_t arguments[INFOTIPSIZE] = L"";
  int icon_index = -1;
  if (!::SHGetPathFromIDListW(items, target) || FAILED(link->GetWorkingDirectory(directory, MAX_PATH)) ||
      FAILED(link->GetIconLocation(icon, MAX_PATH, &icon_index)) ||
      FAILED(link->GetArguments(arguments, INFOTIPSIZE))) {
    return 2;
  }
  std::printf("{\"target\": %s, \"arguments\": %s, \"directory\": %s, \"icon\": %s, \"icon_index\": %d}\n",
              Json(WideToUtf8(target)).c_str(), Json(WideToUtf8(arguments)).c_str(),
              Json(WideToUtf8(directory)).c_str(), Json(WideToUtf8(icon)).c_str(), icon_index);
  return 0;
}

// Runs the command and prints its exit status: once every process it started has ended too
// (a job holds them all), or with `tree` false as soon as the command's own process has ended.
int Wait(std::wstring command, bool tree) {
  // Wine starts the desktop's process (explorer.exe) for the first program that needs it, and
  // it stays: started now, it stays out of the job.
  ::GetDesktopWindow();
  const UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  const auto [process, thread] = Start(command, CREATE_SUSPENDED);
  if (!process.valid() || !::AssignProcessToJobObject(job.get(), process.get())) return 2;
  ::ResumeThread(thread.get());
  const HWND ended = WaitFor(
      [&job, &process, tree] {
        if (!tree) return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 ? kDone : nullptr;
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        ::QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                                    sizeof(accounting), nullptr);
        return accounting.ActiveProcesses == 0 ? kDone : nullptr;
      },
      120000);
  DWORD status = 0;
  ::GetExitCodeProcess(process.get(), &status);
  std::printf("{\"status\": %lu}\n", status);
  return ended ? 0 : 1;
}

// Holds the file open for reading, sharing neither writing nor deletion, as a running program
// holds its jars; says so, and lets go at a line (or the end) on standard input.
int Hold(const std::wstring& path) {
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return 2;
  std::printf("{\"held\": true}\n");
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof(line), stdin);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 64;
  const std::wstring command = argv[1];
  const int timeout_ms = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  int status = 64;
  if (command == L"splash") status = Splash(timeout_ms);
  if (command == L"poke") status = Poke(timeout_ms);
  if (command == L"answer") status = Answer(timeout_ms);
  if (command == L"close" || command == L"send-close") status = Close(timeout_ms, command == L"send-close");
  if (command == L"freeze") status = Freeze(argv[2]);
  if (command == L"link") status = Link(argv[2]);
  if (command == L"wait" || command == L"run") status = Wait(argv[2], command == L"wait");
  if (command == L"hold") status = Hold(argv[2]);
  std::fflush(stdout);
  return status;
}
