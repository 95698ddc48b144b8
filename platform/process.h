#ifndef TOLVARIN_PLATFORM_PROCESS_H_
#define TOLVARIN_PLATFORM_PROCESS_H_

#include <memory>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::platform {

// A command ready to start. Windows hands `command_line` to CreateProcessW as one string
// (the program is its first token, searched on PATH when it has no directory); POSIX hands
// `argv` to posix_spawnp, argv[0] being the program. Each platform reads only its own field.
struct NativeCommand {
  String command_line;
  Vector<String> argv;
};

// What the launch sequence needs of its own process. All text is UTF-8.
class ProcessServices {
 public:
  virtual ~ProcessServices() = default;

  // The directory of the running executable: no trailing separator, except at a root
  // ("C:\", "/"). Fails only where the system cannot say.
  virtual Result<String> ExecutableDirectory() const = 0;

  // The current directory. Fails with the system's number and description.
  virtual Result<String> CurrentDirectory() const = 0;

  // Makes `path` the current directory. Fails (naming the path) having changed nothing.
  virtual Outcome ChangeDirectory(const String& path) = 0;

  // Starts `command` as a new process with its window hidden and returns at once, without
  // waiting for it or keeping any handle to it. The child inherits the current directory,
  // and not this process's DLL search restriction.
  // Never goes through a shell. Fails (naming the command) when it cannot start.
  virtual Outcome StartHidden(const NativeCommand& command) = 0;

  // Ends the whole process at once with `status`; nothing after the call runs.
  [[noreturn]] virtual void EndProcess(int status) = 0;
};

// The services of the process that runs this code.
std::unique_ptr<ProcessServices> MakeNativeProcessServices();

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_PROCESS_H_
