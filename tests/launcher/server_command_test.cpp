// The end-to-end tests compare the command line the stub java receives; an install
// directory at a drive root is what they cannot lay out.
#include "launcher/server_command.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvarin::launcher {
namespace {

TEST(RenderWindowsCommandLine, InstallDirAtADriveRootKeepsTheDoubledSeparator) {
  EXPECT_EQ(RenderWindowsCommandLine(BuildServerCommand("", "C:\\")),
            "java -classpath \"C:\\\\DOZOZIR\\lib\\comm.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\jdc.jar\";\"C:\\\\DOZOZIR\\lib\\jxl.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\swing-layout-1.0.jar\";\"C:\\\\VUVUDIV\\lib\\win32com.dll.jar\";"
            "\"C:\\\\VUVUDIV\" Quindrel.Frame11");
}

}  // namespace
}  // namespace tolvarin::launcher
