#include "launcher/launch_sequence.h"

#include "javaruntime/java_home_path.h"
#include "launcher/server_command.h"
#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::launcher {
namespace {

// Starts the server in its install directory and returns to the previous current directory,
// whatever happened: the error is what the user sees.
platform::Outcome StartServer(LaunchContext& context) {
  const platform::Result<String> executable_directory = context.process.ExecutableDirectory();
  if (!executable_directory.ok()) return executable_directory.error();
  const ServerCommand command = BuildServerCommand(javaruntime::JavaHomePath,
                                                   *executable_directory);
  const platform::NativeCommand native{RenderWindowsCommandLine(command),
                                       RenderPosixArgv(command)};
  const platform::Result<String> previous = context.process.CurrentDirectory();
  if (!previous.ok()) return previous.error();
  if (platform::Outcome changed = context.process.ChangeDirectory(command.install_dir);
      !changed.ok()) {
    return changed;
  }
  const platform::Outcome started = context.process.StartHidden(native);
  const platform::Outcome returned = context.process.ChangeDirectory(*previous);
  return started.ok() ? returned : started;
}

}  // namespace

int RunLaunchSequence(LaunchContext& context) {
  context.splash.Close();
  context.locate_java_runtime();
  const platform::Outcome started = StartServer(context);
  if (started.ok()) return 0;
  context.messages.Show("Error " + DecimalString(started.error().number()) + ": " +
                        started.error().description());
  return kLaunchFailedStatus;
}

}  // namespace tolvarin::launcher
