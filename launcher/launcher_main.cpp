#include "launcher/launcher_main.h"

#include <memory>

#include "javaruntime/java_runtime_context.h"
#include "javaruntime/locate_java_runtime.h"
#include "javaruntime/support_location.h"
#include "launcher/launch_sequence.h"
#include "launcher/splash_layout.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/splash_window.h"
#include "registry/registry_api.h"

namespace tolvarin::launcher {
namespace {

// Runtime discovery on this platform's registry, file system and support directory. The
// registry is opened at the tick, inside the search: one that cannot be read (a malformed
// store on POSIX) is reported as a failed search, and the launch goes on.
void LocateNativeJavaRuntime(platform::FileSystem& files, platform::MessageBoxes& messages,
                             platform::ProcessServices& process) {
  const auto registry = javaruntime::OpenRegistryForSearch(messages);
  if (registry == nullptr) return;
  javaruntime::JavaRuntimeContext context{*registry, files, messages, process,
                                          javaruntime::SupportSourceDirectory()};
  javaruntime::LocateJavaRuntime(context);
}

}  // namespace

int LauncherMain() {
  const auto process = platform::MakeNativeProcessServices();
  const auto messages = platform::MakeNativeMessageBoxes();
  const auto files = platform::MakeNativeFileSystem();
  const auto splash = platform::CreateSplashWindow(SplashLayout());
  LaunchContext context{*splash, *process, *messages,
                        [&] { LocateNativeJavaRuntime(*files, *messages, *process); }};
  const platform::Result<int> status =
      splash->Run(kTimer1Interval, [&context] { return RunLaunchSequence(context); });
  if (status.ok()) return *status;
  // Without its window the launcher cannot keep its promise of a splash; say why.
  messages->Show(status.error().description());
  return kLaunchFailedStatus;
}

}  // namespace tolvarin::launcher
