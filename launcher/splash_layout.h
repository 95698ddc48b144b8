#ifndef TOLVARIN_LAUNCHER_SPLASH_LAYOUT_H_
#define TOLVARIN_LAUNCHER_SPLASH_LAYOUT_H_

#include <chrono>

#include "platform/form_layout.h"

namespace tolvarin::launcher {

// Timer1: the splash stays this long, then its first tick starts the launch.
inline constexpr std::chrono::milliseconds kTimer1Interval{2000};

// frmSplash, the start-up form, as data: its client area, icon and controls in creation
// order, with the picture and icon built into this executable. Built at each call: the splash
// window keeps a copy, and a function-local static would need a thread-safe guard, whose
// libstdc++ code throws.
platform::FormLayout SplashLayout();

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_SPLASH_LAYOUT_H_
