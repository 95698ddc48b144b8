// Which folder paths Setup and the package take: each row one way a path names another place
// than it seems to, or none a walk up its folders could stop at.

#include "installer/rule/local_folder.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace tolvarin::installer {
namespace {

TEST(LocalFolderProblem, TakesOnlyAbsolutePathsOnADrive) {
  const struct {
    const char* description;
    const char* path;
    bool taken;
  } kCases[] = {
      {"the default folder", "C:\\Program Files (x86)\\Quarvel\\Tolvarin", true},
      {"a trailing separator", "d:\\Apps\\SMS Zentrale \xc3\xbc\\\\", true},
      {"a root-relative path, on the current drive", "\\C:\\Apps\\Tolvarin", false},
      {"a relative path, which no walk up ends", "Apps\\Tolvarin", false},
      {"relative to the drive's current folder", "C:Apps\\Tolvarin", false},
      {"a network share", "\\\\server\\share\\Tolvarin", false},
      {"a device path", "\\\\?\\C:\\Apps\\Tolvarin", false},
      {"forward slashes", "C:/Apps/Tolvarin", false},
      {"a drive's root", "C:\\", false},
      {"an empty name", "C:\\Apps\\\\Tolvarin", false},
      {"a step up", "C:\\Apps\\..\\Windows", false},
      {"a name Windows shortens", "C:\\Apps.\\Tolvarin", false},
      {"a stream of a folder", "C:\\Apps\\Tolvarin:x", false},
      {"empty", "", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(LocalFolderProblem(c.path).empty(), c.taken)
        << c.description << ": " << LocalFolderProblem(c.path);
  }
}

}  // namespace
}  // namespace tolvarin::installer
