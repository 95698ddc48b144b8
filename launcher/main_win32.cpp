#include <windows.h>

#include "launcher/launcher_main.h"

namespace {

// Users start the launcher from wherever it was unpacked, Downloads included: DLLs that the
// system loads on its behalf (the imaging codecs, the themes) must come from System32,
// never from the current directory or the program's own folder.
void RestrictDllSearch() {
  ::SetDllDirectoryW(L"");
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  // Present from Windows 8, and on Windows 7 with KB2533623; older systems keep the above.
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

// The launcher takes no command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  return tolvarin::launcher::LauncherMain();
}
