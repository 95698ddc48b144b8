#include "launcher/server_command.h"

#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::launcher {
namespace {

String Join(const String& base, const Vector<String>& components,
            char separator) {
  String path = base;
  for (const String& component : components) {
    path += separator;
    path += component;
  }
  return path;
}

}  // namespace

ServerCommand BuildServerCommand(const String& java_home, const String& install_dir) {
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

String RenderWindowsCommandLine(const ServerCommand& command) {
  // The program path is quoted: unquoted, a home such as C:\Program Files\... would let
  // CreateProcess run C:\Program.exe first.
  String line = command.java_home.empty()
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

Vector<String> RenderPosixArgv(const ServerCommand& command) {
  String class_path;
  for (const Vector<String>& entry : command.class_path) {
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
