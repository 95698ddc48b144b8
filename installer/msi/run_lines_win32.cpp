#include "installer/msi/run_lines_win32.h"

#include <msiquery.h>

#include <algorithm>
#include <optional>

#include "installer/commands/helper_command.h"
#include "installer/msi/folder_checks_win32.h"
#include "installer/msi/package_win32.h"
#include "installer/windows/entry_view_win32.h"
#include "platform/error.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::msi {
namespace {

using platform::win32::DecimalText;
using platform::win32::Utf8ToWideShown;
using win32::WithoutTrailingSeparators;

// Logs why the action failed, as `on_refusal` says; the action's result.
UINT Failed(MSIHANDLE install, const WString& failure, OnRefusal on_refusal) {
  if (on_refusal == OnRefusal::kGoOn) {
    Log(install, INSTALLMESSAGE_INFO, failure + L"; the install goes on.");
    return ERROR_SUCCESS;
  }
  Log(install, INSTALLMESSAGE_ERROR,
      failure +
          (on_refusal == OnRefusal::kNothingChanged
               ? L": Tolvarin is not installed, repaired or removed, and nothing was changed."
               : L": Tolvarin cannot be installed safely, and Windows Installer undoes the "
                 L"install.") +
          L" The TolvarinHelper lines before this one in its log say why.");
  return ERROR_INSTALL_FAILURE;
}

}  // namespace

UINT RunLines(MSIHANDLE install, const Vector<Line>& lines, OnRefusal on_refusal,
              bool written) {
  SetSaySink([install](const String& line) {
    Log(install, INSTALLMESSAGE_INFO, L"TolvarinHelper: " + Utf8ToWideShown(line));
  });
  struct SinkReset {
    ~SinkReset() { SetSaySink(nullptr); }
  } reset;
  const platform::Result<HelperContext> context =
      MakeHelperContext();
  if (!context.ok()) {
    return Failed(install, L"TolvarinHelper: " + Utf8ToWideShown(context.error().description()),
                  on_refusal);
  }
  for (const Line& line : lines) {
    const Vector<WString> arguments(line.begin() + 1, line.end());
    const int status =
        line[0] == kPackageFoldersCommand   ? PackageFoldersCommand(arguments, written)
        : line[0] == kWrittenFoldersCommand ? WrittenFoldersCommand(arguments)
                                            : RunHelperCommand(line, *context);
    if (status == kDone) continue;
    const WString failure =
        L"TolvarinHelper " + line[0] + L" ended with status " + DecimalText(status);
    if (const UINT result = Failed(install, failure, on_refusal); result != ERROR_SUCCESS) {
      return result;
    }
  }
  return ERROR_SUCCESS;
}

UINT RunCommands(MSIHANDLE install, const WString& action, const WString& data,
                 std::span<const LineShape> shapes, OnRefusal on_refusal, bool written) {
  WString problem;
  std::optional<Vector<Line>> lines = Lines(data, shapes, problem);
  if (!lines) {
    Log(install, INSTALLMESSAGE_ERROR,
        action + L" was given data that is not the package's (" + problem +
            L"), so it does nothing: Tolvarin is not installed, repaired or removed.");
    return ERROR_INSTALL_FAILURE;
  }
  for (Line& line : *lines) {
    std::transform(line.begin(), line.end(), line.begin(), WithoutTrailingSeparators);
  }
  return RunLines(install, *lines, on_refusal, written);
}

}  // namespace tolvarin::installer::msi
