// TolvarinHelper for the installer's end-to-end test, with one seam: the owner named by
// TOLVARIN_TEST_UNTRUSTED_OWNER (a SID) is not trusted. Wine keeps no owners and reports the
// account running it as every file's, so a folder of another owner can be made no other way.
// The shipped helper (installer/helper_main_win32.cpp) has no such seam.
#include <windows.h>

#include <cstdlib>

#include "installer/helper_command.h"
#include "platform/error.h"
#include "platform/win32_util.h"

int wmain(int argc, wchar_t** argv) {
  using tolvarin::installer::Say;
  try {
    tolvarin::installer::HelperContext context = tolvarin::installer::MakeHelperContext();
    if (const wchar_t* owner = _wgetenv(L"TOLVARIN_TEST_UNTRUSTED_OWNER")) {
      const std::string sid = tolvarin::platform::win32::WideToUtf8(owner);
      context.kept.Remove(sid);
      context.parents.Remove(sid);
    }
    return tolvarin::installer::RunHelperCommand({argv + 1, argv + argc}, context);
  } catch (const tolvarin::platform::Error& error) {
    Say(error.description());
    return tolvarin::installer::kRefused;
  }
}
