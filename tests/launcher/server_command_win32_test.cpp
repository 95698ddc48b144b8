// The rendered command line, parsed back by the system's own parser.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/server_command.h"
#include "platform/win32_util.h"

namespace tolvarin::launcher {
namespace {

using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

std::vector<std::string> SystemParse(const std::string& line) {
  int count = 0;
  std::unique_ptr<wchar_t*, decltype(&::LocalFree)> argv(
      ::CommandLineToArgvW(Utf8ToWide(line).c_str(), &count), &::LocalFree);
  std::vector<std::string> arguments;
  for (int i = 0; argv && i < count; ++i) arguments.push_back(WideToUtf8(argv.get()[i]));
  return arguments;
}

TEST(RenderWindowsCommandLine, ParsesBackIntoProgramAndFourArguments) {
  struct Case {
    const char* description;
    std::string java_home;
    std::string install_dir;
    std::string program;
  };
  const std::vector<Case> cases = {
      {"empty home", "", "C:\\Apps\\SMS", "java"},
      {"home with spaces", "C:\\Program Files\\Java\\jre1.5.0_06", "C:\\Apps\\SMS",
       "C:\\Program Files\\Java\\jre1.5.0_06\\bin\\java.exe"},
      {"install dir at a drive root", "C:\\jre", "C:\\", "C:\\jre\\bin\\java.exe"},
      {"install dir with spaces and non-ASCII", "C:\\Programme\\J\xC3\xA4va",
       "C:\\SMS Zentrale \xC3\xBC\xE6\x97\xA5", "C:\\Programme\\J\xC3\xA4va\\bin\\java.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const ServerCommand command = BuildServerCommand(c.java_home, c.install_dir);
    std::string class_path;
    for (const auto& entry : command.class_path) {
      if (!class_path.empty()) class_path += ';';
      class_path += c.install_dir;
      for (const std::string& component : entry) class_path += "\\" + component;
    }
    EXPECT_EQ(SystemParse(RenderWindowsCommandLine(command)),
              (std::vector<std::string>{c.program, "-classpath", class_path, "Quindrel.Frame11"}));
  }
}

}  // namespace
}  // namespace tolvarin::launcher
