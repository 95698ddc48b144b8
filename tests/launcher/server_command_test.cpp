// The end-to-end tests compare the command line only on Windows; this row checks it on
// both builds, with an install directory at a drive root, which they cannot lay out.
#include "launcher/server_command.h"

#include <gtest/gtest.h>

namespace tolvarin::launcher {
namespace {

TEST(RenderWindowsCommandLine, QuotedProgramAndInstallDirAtADriveRoot) {
  EXPECT_EQ(RenderWindowsCommandLine(BuildServerCommand("C:\\Program Files\\jre", "C:\\")),
            "\"C:\\Program Files\\jre\\bin\\java.exe\" -classpath \"C:\\\\DOZOZIR\\lib\\comm.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\jdc.jar\";\"C:\\\\DOZOZIR\\lib\\jxl.jar\";"
            "\"C:\\\\DOZOZIR\\lib\\swing-layout-1.0.jar\";\"C:\\\\VUVUDIV\\lib\\win32com.dll.jar\";"
            "\"C:\\\\VUVUDIV\" Quindrel.Frame11");
}

}  // namespace
}  // namespace tolvarin::launcher
