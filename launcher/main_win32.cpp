#include <windows.h>

#include "launcher/launcher_main.h"
#include "platform/win32_util.h"

// The launcher takes no command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Users start the launcher from wherever it was unpacked, Downloads included.
  tolvarin::platform::win32::RestrictDllSearch();
  return tolvarin::launcher::LauncherMain();
}
