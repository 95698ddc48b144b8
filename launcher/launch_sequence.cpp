#include "launcher/launch_sequence.h"

#include <exception>

#include "javaruntime/java_home_path.h"
#include "launcher/server_command.h"
#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::launcher {

int RunLaunchSequence(LaunchContext& context) {
  context.splash.Close();
  context.locate_java_runtime();
  try {
    const ServerCommand command =
        BuildServerCommand(javaruntime::JavaHomePath, context.process.ExecutableDirectory());
    const platform::NativeCommand native{RenderWindowsCommandLine(command),
                                         RenderPosixArgv(command)};
    const String previous = context.process.CurrentDirectory();
    context.process.ChangeDirectory(command.install_dir);
    try {
      context.process.StartHidden(native);
    } catch (...) {
      // Leave the process where it was, whatever happened; the error is what the user sees.
      try {
        context.process.ChangeDirectory(previous);
      } catch (const platform::Error&) {
      }
      throw;
    }
    context.process.ChangeDirectory(previous);
    return 0;
  } catch (const platform::Error& error) {
    context.messages.Show("Error " + DecimalString(error.number()) + ": " + error.description());
  } catch (const std::exception& error) {
    context.messages.Show(String("Error: ") + error.what());
  }
  return kLaunchFailedStatus;
}

}  // namespace tolvarin::launcher
