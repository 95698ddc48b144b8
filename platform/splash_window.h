#ifndef TOLVARIN_PLATFORM_SPLASH_WINDOW_H_
#define TOLVARIN_PLATFORM_SPLASH_WINDOW_H_

#include <chrono>
#include <memory>

#include "platform/error.h"
#include "platform/form_layout.h"
#include "platform/function.h"

namespace tolvarin::platform {

// The start-up window and its one-shot timer, on the user-interface thread.
class SplashWindow {
 public:
  virtual ~SplashWindow() = default;

  // Shows the window centred on the screen, arms the timer for `interval` and runs the
  // event loop until no window of the launcher is left. The first tick calls `on_tick`
  // exactly once, on this thread; there is never a second. Returns what `on_tick`
  // returned, or 0 when the window was closed some other way before the tick (then
  // `on_tick` never runs). Fails, before any tick, when the window cannot be created.
  virtual Result<int> Run(std::chrono::milliseconds interval, const Function<int()>& on_tick) = 0;

  // Destroys the window together with its timer; afterwards no tick can arrive.
  // Idempotent; the caller goes on running.
  virtual void Close() = 0;
};

// A splash window of this platform drawing `layout`, not yet shown.
std::unique_ptr<SplashWindow> CreateSplashWindow(const FormLayout& layout);

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_SPLASH_WINDOW_H_
