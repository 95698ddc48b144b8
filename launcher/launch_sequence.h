#ifndef TOLVARIN_LAUNCHER_LAUNCH_SEQUENCE_H_
#define TOLVARIN_LAUNCHER_LAUNCH_SEQUENCE_H_

#include "platform/function.h"

#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/splash_window.h"

namespace tolvarin::launcher {

// Exit status when the server could not be started.
inline constexpr int kLaunchFailedStatus = 1;

// What the launch sequence works with; all owned by the caller.
struct LaunchContext {
  platform::SplashWindow& splash;
  platform::ProcessServices& process;
  platform::MessageBoxes& messages;
  // Finds the Java runtime and leaves its home in JavaHomePath (or empties it). May end
  // the process; never fails.
  Function<void()> locate_java_runtime;
};

// The work of the splash's first tick: closes the splash, locates the runtime, builds
// the server command from JavaHomePath and the executable's directory, starts it hidden
// in that directory and restores the previous current directory. Returns the process's
// exit status: 0 once the server was started; kLaunchFailedStatus after one message box
// giving the error's number, its description and the command or directory concerned.
int RunLaunchSequence(LaunchContext& context);

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_LAUNCH_SEQUENCE_H_
