// The Windows command line on both builds. The end-to-end tests compare it exactly for an
// empty home, a home with spaces or a trailing separator and an install directory with
// spaces and non-ASCII characters; these rows add what they cannot reach.
#include "launcher/server_command.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvarin::launcher {
namespace {

TEST(RenderWindowsCommandLine, MatchesTheInstalledFormat) {
  const std::string jar = "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar";
  const struct {
    const char* description;
    std::string java_home;
    std::string install_dir;
    std::string expected;
  } kCases[] = {
      {"home with spaces: program path quoted, each entry quoted", "C:\\Program Files\\jre",
       "C:\\Apps",
       "\"C:\\Program Files\\jre\\bin\\java.exe\" -classpath \"C:\\Apps\\DOZOZIR\\lib\\comm.jar\";"
       "\"C:\\Apps\\DOZOZIR\\lib\\" + jar + "\";\"C:\\Apps\\DOZOZIR\\lib\\jdc.jar\";"
       "\"C:\\Apps\\DOZOZIR\\lib\\jxl.jar\";\"C:\\Apps\\DOZOZIR\\lib\\swing-layout-1.0.jar\";"
       "\"C:\\Apps\\VUVUDIV\\lib\\win32com.dll.jar\";\"C:\\Apps\\VUVUDIV\" Quindrel.Frame11"},
      {"install dir at a drive root: separator doubled, not tidied", "", "C:\\",
       "java -classpath \"C:\\\\DOZOZIR\\lib\\comm.jar\";\"C:\\\\DOZOZIR\\lib\\" + jar + "\";"
       "\"C:\\\\DOZOZIR\\lib\\jdc.jar\";\"C:\\\\DOZOZIR\\lib\\jxl.jar\";"
       "\"C:\\\\DOZOZIR\\lib\\swing-layout-1.0.jar\";\"C:\\\\VUVUDIV\\lib\\win32com.dll.jar\";"
       "\"C:\\\\VUVUDIV\" Quindrel.Frame11"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(RenderWindowsCommandLine(BuildServerCommand(c.java_home, c.install_dir)),
              c.expected);
  }
}

}  // namespace
}  // namespace tolvarin::launcher
