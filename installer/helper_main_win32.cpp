#include <windows.h>

#include <vector>

#include "installer/helper_command.h"
#include "platform/error.h"
#include "platform/win32_util.h"

// TolvarinHelper <command> <argument>... (installer/helper_command.h).
int wmain(int argc, wchar_t** argv) {
  // It runs from Setup's temporary folder, with Setup's rights.
  tolvarin::platform::win32::RestrictDllSearch();
  try {
    return tolvarin::installer::RunHelperCommand({argv + 1, argv + argc},
                                                 tolvarin::installer::MakeHelperContext());
  } catch (const tolvarin::platform::Error& error) {
    tolvarin::installer::Say(error.description());
    return tolvarin::installer::kRefused;
  }
}
