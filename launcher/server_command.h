#ifndef TOLVARIN_LAUNCHER_SERVER_COMMAND_H_
#define TOLVARIN_LAUNCHER_SERVER_COMMAND_H_

#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::launcher {

// The server's main class, the command's last item.
inline constexpr char kServerMainClass[] = "Quindrel.Frame11";

// The command that starts the SMS server, modelled once and rendered per platform.
// Paths are kept as a base directory plus components so that each rendering joins them
// with its own separator; the base is used exactly as given (a drive root keeps its
// separator, so the join doubles it, as installed systems expect).
struct ServerCommand {
  String java_home;                             // empty: "java" from the search path
  String install_dir;                           // base of every class-path entry
  Vector<Vector<String>> class_path;  // components below install_dir, in order
  String main_class;
};

// The server command for the runtime at `java_home` (may be empty) and the launcher's
// installation directory: seven class-path entries, then kServerMainClass.
ServerCommand BuildServerCommand(const String& java_home, const String& install_dir);

// The Windows command line, ServerCommandLine: "<home>\bin\java.exe" quoted (or java
// unquoted when the home is empty), -classpath, each entry quoted with ';' between
// entries, a space, the main class.
String RenderWindowsCommandLine(const ServerCommand& command);

// The POSIX argument vector: <home>/bin/java (or java), -classpath, the entries joined by
// ':' with '/' between components, the main class. No quoting: it goes to posix_spawn.
Vector<String> RenderPosixArgv(const ServerCommand& command);

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_SERVER_COMMAND_H_
