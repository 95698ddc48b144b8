#include <windows.h>

#include "launcher/launcher_main.h"

// The launcher takes no command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return tolvarin::launcher::LauncherMain();
}
