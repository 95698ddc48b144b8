#ifndef TOLVARIN_LAUNCHER_LAUNCHER_MAIN_H_
#define TOLVARIN_LAUNCHER_LAUNCHER_MAIN_H_

namespace tolvarin::launcher {

// The whole program: shows frmSplash, and on Timer1's first tick runs the launch
// sequence with this platform's services. Returns the process's exit status.
int LauncherMain();

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_LAUNCHER_MAIN_H_
