#include <windows.h>

#include <algorithm>

#include "installer/commands/helper_command.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

using tolvarin::WString;

// TolvarinHelper [--log FILE] <command> <argument>... (installer/commands/helper_command.h).
int wmain(int argc, wchar_t** argv) {
  // It runs from Setup's temporary folder, with Setup's rights.
  tolvarin::platform::win32::RestrictDllSearch();
  int status = tolvarin::installer::kFailed;
  const tolvarin::platform::Result<tolvarin::installer::HelperContext> context =
      tolvarin::installer::MakeHelperContext();
  if (context.ok()) {
    status = tolvarin::installer::RunHelperCommand({argv + 1, argv + argc}, *context);
  } else {
    // Never a command's own status: a failure is not a refusal, nor the uninstaller's cancel.
    tolvarin::installer::Say(context.error().description());
  }
  // A silent uninstall may run where nobody could answer a box (a deployment tool's service).
  if (std::find(argv + 1, argv + argc, WString(L"/S")) == argv + argc) {
    tolvarin::installer::ShowWhatWasSaid();
  }
  return status;
}
