#include "launcher/server_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvarin::launcher {
namespace {

using ::testing::ElementsAre;

constexpr char kServerJar[] =
    "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar";

// The seven entries of the Windows class path for `dir`, each quoted, as one string.
std::string WindowsClassPath(const std::string& dir) {
  return "\"" + dir + "\\DOZOZIR\\lib\\comm.jar\";\"" + dir + "\\DOZOZIR\\lib\\" + kServerJar +
         "\";\"" + dir + "\\DOZOZIR\\lib\\jdc.jar\";\"" + dir + "\\DOZOZIR\\lib\\jxl.jar\";\"" +
         dir + "\\DOZOZIR\\lib\\swing-layout-1.0.jar\";\"" + dir +
         "\\VUVUDIV\\lib\\win32com.dll.jar\";\"" + dir + "\\VUVUDIV\" ";
}

TEST(RenderWindowsCommandLine, MatchesTheInstalledFormat) {
  struct Case {
    const char* description;
    std::string java_home;
    std::string install_dir;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"empty home: bare java from the search path, unquoted", "", "C:\\Apps\\SMS",
       "java -classpath " + WindowsClassPath("C:\\Apps\\SMS") + "Quindrel.Frame11"},
      {"home with spaces: program path quoted", "C:\\Program Files\\Java\\jre1.5.0_06",
       "C:\\Apps\\SMS",
       "\"C:\\Program Files\\Java\\jre1.5.0_06\\bin\\java.exe\" -classpath " +
           WindowsClassPath("C:\\Apps\\SMS") + "Quindrel.Frame11"},
      {"home ending in a backslash: separator doubled, not tidied", "C:\\jre\\", "C:\\Apps",
       "\"C:\\jre\\\\bin\\java.exe\" -classpath " + WindowsClassPath("C:\\Apps") +
           "Quindrel.Frame11"},
      {"install dir at a drive root: doubled separator after the root", "", "C:\\",
       "java -classpath \"C:\\\\DOZOZIR\\lib\\comm.jar\";" +
           WindowsClassPath("C:\\").substr(WindowsClassPath("C:\\").find(';') + 1) +
           "Quindrel.Frame11"},
      {"install dir with spaces and non-ASCII characters", "",
       "D:\\Programme\\SMS Zentrale \xC3\xBC\xE6\x97\xA5",
       "java -classpath " + WindowsClassPath("D:\\Programme\\SMS Zentrale \xC3\xBC\xE6\x97\xA5") +
           "Quindrel.Frame11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(RenderWindowsCommandLine(BuildServerCommand(c.java_home, c.install_dir)),
              c.expected);
  }
}

TEST(RenderWindowsCommandLine, RootEntriesHoldDoubledSeparator) {
  const std::string line = RenderWindowsCommandLine(BuildServerCommand("", "C:\\"));
  EXPECT_NE(line.find("\"C:\\\\DOZOZIR\\lib\\comm.jar\";"), std::string::npos);
  EXPECT_NE(line.find("\"C:\\\\VUVUDIV\" Quindrel.Frame11"), std::string::npos);
}

TEST(RenderPosixArgv, UsesThePlatformsSeparators) {
  struct Case {
    const char* description;
    std::string java_home;
    std::string install_dir;
    std::string program;
  };
  const std::vector<Case> cases = {
      {"empty home: java from the search path", "", "/opt/sms", "java"},
      {"home with spaces stays one argument", "/opt/my jre", "/opt/sms", "/opt/my jre/bin/java"},
      {"home ending in a slash is used as given", "/opt/jre/", "/srv/SMS Zentrale \xC3\xBC",
       "/opt/jre//bin/java"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const std::string& d = c.install_dir;
    EXPECT_THAT(RenderPosixArgv(BuildServerCommand(c.java_home, d)),
                ElementsAre(c.program, "-classpath",
                            d + "/DOZOZIR/lib/comm.jar:" + d + "/DOZOZIR/lib/" + kServerJar + ":" +
                                d + "/DOZOZIR/lib/jdc.jar:" + d + "/DOZOZIR/lib/jxl.jar:" + d +
                                "/DOZOZIR/lib/swing-layout-1.0.jar:" + d +
                                "/VUVUDIV/lib/win32com.dll.jar:" + d + "/VUVUDIV",
                            "Quindrel.Frame11"));
  }
}

}  // namespace
}  // namespace tolvarin::launcher
