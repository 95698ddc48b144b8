#ifndef TOLVARIN_INSTALLER_MSI_RUN_LINES_WIN32_H_
#define TOLVARIN_INSTALLER_MSI_RUN_LINES_WIN32_H_

// The package's actions run the helper's commands inside Windows Installer, whose log is where
// what they say belongs: an administrator reading the /l*v log of a refused install finds why.

#include <windows.h>

#include <msi.h>

#include <span>

#include "installer/rule/action_data.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer::msi {

// What a refusal means where the commands ran.
enum class OnRefusal {
  kNothingChanged,  // before the script: nothing has been changed
  kUndone,          // in the script: Windows Installer undoes what it did
  kGoOn,            // never stops the install
};

// Runs `lines`, what they say going to the log; a refusal fails the action unless kGoOn.
// `written`: the files are written, so the install folder holds the install's own.
UINT RunLines(MSIHANDLE install, const Vector<Line>& lines, OnRefusal on_refusal,
              bool written = false);

// Runs the commands in `data` when it has the shape `shapes` gives; data of another shape is
// not the package's and fails the action, kGoOn or not.
UINT RunCommands(MSIHANDLE install, const WString& action, const WString& data,
                 std::span<const LineShape> shapes, OnRefusal on_refusal, bool written = false);

}  // namespace tolvarin::installer::msi

#endif  // TOLVARIN_INSTALLER_MSI_RUN_LINES_WIN32_H_
