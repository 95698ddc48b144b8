#include "launcher/launcher_main.h"

#include "javaruntime/java_home_path.h"
#include "launcher/launch_sequence.h"
#include "launcher/splash_layout.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/splash_window.h"

namespace tolvarin::launcher {

int LauncherMain() {
  const auto process = platform::MakeNativeProcessServices();
  const auto messages = platform::MakeNativeMessageBoxes();
  const auto splash = platform::CreateSplashWindow(SplashLayout());
  LaunchContext context{*splash, *process, *messages, [] { javaruntime::JavaHomePath.clear(); }};
  return splash->Run(kTimer1Interval, [&context] { return RunLaunchSequence(context); });
}

}  // namespace tolvarin::launcher
