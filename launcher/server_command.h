#ifndef TOLVARIN_LAUNCHER_SERVER_COMMAND_H_
#define TOLVARIN_LAUNCHER_SERVER_COMMAND_H_

#include <string>
#include <vector>

namespace tolvarin::launcher {

// The server's main class, the command's last item.
inline constexpr char kServerMainClass[] = "Quindrel.Frame11";

// The command that starts the SMS server, modelled once and rendered per platform.
// Paths are kept as a base directory plus components so that each rendering joins them
// with its own separator; the base is used exactly as given (a drive root keeps its
// separator, so the join doubles it, as installed systems expect).
struct ServerCommand {
  std::string java_home;                             // empty: "java" from the search path
  std::string install_dir;                           // base of every class-path entry
  std::vector<std::vector<std::string>> class_path;  // components below install_dir, in order
  std::string main_class;
};

// The server command for the runtime at `java_home` (may be empty) and the launcher's
// installation directory: seven class-path entries, then kServerMainClass.
ServerCommand BuildServerCommand(const std::string& java_home, const std::string& install_dir);

// The Windows command line, ServerCommandLine: "<home>\bin\java.exe" quoted (or java
// unquoted when the home is empty), -classpath, each entry quoted with ';' between
// entries, a space, the main class.
std::string RenderWindowsCommandLine(const ServerCommand& command);

// The POSIX argument vector: <home>/bin/java (or java), -classpath, the entries joined by
// ':' with '/' between components, the main class. No quoting: it goes to posix_spawn.
std::vector<std::string> RenderPosixArgv(const ServerCommand& command);

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_SERVER_COMMAND_H_
