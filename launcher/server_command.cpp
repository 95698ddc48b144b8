#include "launcher/server_command.h"

#include <string>
#include <vector>

namespace tolvarin::launcher {
namespace {

std::string Join(const std::string& base, const std::vector<std::string>& components,
                 char separator) {
  std::string path = base;
  for (const std::string& component : components) {
    path += separator;
    path += component;
  }
  return path;
}

}  // namespace

ServerCommand BuildServerCommand(const std::string& java_home, const std::string& install_dir) {
  return ServerCommand{
      java_home,
      install_dir,
      {
          {"DOZOZIR", "lib", "comm.jar"},
          {"DOZOZIR", "lib", "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar"},
          {"DOZOZIR", "lib", "jdc.jar"},
          {"DOZOZIR", "lib", "jxl.jar"},
          {"DOZOZIR", "lib", "swing-layout-1.0.jar"},
          {"VUVUDIV", "lib", "win32com.dll.jar"},
          {"VUVUDIV"},
      },
      kServerMainClass,
  };
}

std::string RenderWindowsCommandLine(const ServerCommand& command) {
  // The program path is quoted: unquoted, a home such as C:\Program Files\... would let
  // CreateProcess run C:\Program.exe first.
  std::string line = command.java_home.empty()
                         ? "java "
                         : "\"" + Join(command.java_home, {"bin", "java.exe"}, '\\') + "\" ";
  line += "-classpath ";
  for (size_t i = 0; i < command.class_path.size(); ++i) {
    line += "\"" + Join(command.install_dir, command.class_path[i], '\\') + "\"";
    line += i + 1 < command.class_path.size() ? ";" : " ";
  }
  line += command.main_class;
  return line;
}

std::vector<std::string> RenderPosixArgv(const ServerCommand& command) {
  std::string class_path;
  for (const std::vector<std::string>& entry : command.class_path) {
    if (!class_path.empty()) class_path += ':';
    class_path += Join(command.install_dir, entry, '/');
  }
  return {
      command.java_home.empty() ? "java" : Join(command.java_home, {"bin", "java"}, '/'),
      "-classpath",
      class_path,
      command.main_class,
  };
}

}  // namespace tolvarin::launcher
