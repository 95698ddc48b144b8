// The package's custom actions (tolvarin.wxs): TolvarinHelper's commands run inside Windows
// Installer rather than as a program of their own, because Windows Installer logs nothing a
// program prints, and an administrator reading the /l*v log of a refused install must find why.
// What they share is in package_win32.h, the running of commands in run_lines_win32.h, the
// package's own folder checks in folder_checks_win32.h and the rollback's notes in
// folder_notes_win32.h.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "installer/commands/protect_folder.h"
#include "installer/msi/folder_notes_win32.h"
#include "installer/msi/package_win32.h"
#include "installer/msi/run_lines_win32.h"
#include "installer/rule/action_data.h"
#include "installer/windows/entry_view_win32.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::msi {
namespace {

using platform::win32::SystemError;
using platform::win32::Utf8ToWideShown;
using win32::WithoutTrailingSeparators;

// The action whose data is the checks before anything is written: the check before the script
// runs the very same commands.
constexpr wchar_t kChecksBeforeWriting[] = L"SetCheckBeforeWriting";

// The names of the properties `target` (a formatted value) refers to: [NAME], but not the
// escapes [\[] and the like, nor [#file], [$component], [%variable] or [!file].
Vector<WString> PropertiesIn(const WString& target) {
  Vector<WString> names;
  for (size_t open = target.find(L'['); open != WString::npos;
       open = target.find(L'[', open + 1)) {
    const size_t close = target.find(L']', open + 1);
    if (close == WString::npos) break;
    const WString name = target.substr(open + 1, close - open - 1);
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](wchar_t c) {
      return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
             c == L'_' || c == L'.';
    });
    if (plain) names.push_back(name);
  }
  return names;
}

// Each row of the package's CustomAction table that sets the data of a deferred action (a
// property named after another custom action): its action and its formatted value.
platform::Result<Vector<std::pair<WString, WString>>> ActionDataRows(
    MSIHANDLE install) {
  PMSIHANDLE database = ::MsiGetActiveDatabase(install);
  PMSIHANDLE view;
  if (::MsiDatabaseOpenViewW(database,
                             L"SELECT `Action`, `Type`, `Source`, `Target` FROM `CustomAction`",
                             &view) != ERROR_SUCCESS ||
      ::MsiViewExecute(view, 0) != ERROR_SUCCESS) {
    return SystemError(ERROR_INSTALL_FAILURE, "The package's custom actions cannot be read");
  }
  Vector<std::pair<WString, WString>> all;  // action, target
  Vector<WString> setting;                       // property set, of type 51
  for (;;) {
    PMSIHANDLE record;  // one a row: fetching into a handle that holds one would leak it
    if (::MsiViewFetch(view, &record) != ERROR_SUCCESS) break;
    const auto field = [&record](UINT index) {
      return MsiText([&](wchar_t* text, DWORD* size) {
        return ::MsiRecordGetStringW(record, index, text, size);
      });
    };
    all.emplace_back(field(1), field(4));
    constexpr int kSetsProperty = 51;
    setting.push_back((::MsiRecordGetInteger(record, 2) & 0x3F) == kSetsProperty ? field(3) : L"");
  }
  Vector<std::pair<WString, WString>> rows;
  for (size_t i = 0; i < all.size(); ++i) {
    const bool sets_action_data =
        !setting[i].empty() && std::any_of(all.begin(), all.end(), [&](const auto& action) {
          return action.first == setting[i];
        });
    if (sets_action_data) rows.push_back(all[i]);
  }
  return rows;
}

}  // namespace

// Windows Installer calls each action by its plain name: C linkage, whatever the namespace.

// Immediate, before the script, for every install, repair, upgrade and removal. First every
// property value that reaches a deferred action's data is judged on its own (an absolute local
// path, holding no separator of the data and no control character): the data is composed from
// them by joining, and a value holding a line feed would add a command. Then, while nothing has
// been changed yet, the very commands the script runs before writing (SetCheckBeforeWriting's
// data): the folders the package may write to (package-folders), what check-folder and
// check-replaceable refuse. A maintenance run or upgrade without a recorded install folder is
// refused too. Names this transaction's notes (FolderNotes). A refusal here comes before Wine's
// msiexec schedules anything it would undo by deleting.
extern "C" __declspec(dllexport) UINT __stdcall CheckBeforeScript(MSIHANDLE install) {
  const bool maintenance = !Property(install, L"Installed").empty() ||
                           !Property(install, L"WIX_UPGRADE_DETECTED").empty();
  WString checks;
  const platform::Result<Vector<std::pair<WString, WString>>> rows =
      ActionDataRows(install);
  if (!rows.ok()) {
    Log(install, INSTALLMESSAGE_ERROR,
        Utf8ToWideShown(rows.error().description()) + L". Nothing was changed.");
    return ERROR_INSTALL_FAILURE;
  }
  for (const auto& [action, target] : *rows) {
    if (action == kChecksBeforeWriting) checks = target;
    for (const WString& name : PropertiesIn(target)) {
      if (name == L"FolderNotes") continue;  // this action's own, below
      const WString value = Property(install, name.c_str());
      const String problem = ValueProblem(value);
      if (problem.empty()) continue;
      Log(install, INSTALLMESSAGE_ERROR,
          name + L" " + Shown(WithoutTrailingSeparators(value)) + L" " +
              Utf8ToWideShown(problem) +
              L": give an absolute path on a local drive. Nothing was changed.");
      return ERROR_INSTALL_FAILURE;
    }
  }
  if (maintenance) {
    const platform::Result<std::optional<WString>> recorded = RecordedFolder();
    if (!recorded.ok()) {
      Log(install, INSTALLMESSAGE_ERROR,
          Utf8ToWideShown(recorded.error().description()) + L". Nothing was changed.");
      return ERROR_INSTALL_FAILURE;
    }
    if (!*recorded) {
      Log(install, INSTALLMESSAGE_ERROR,
          WString(L"Tolvarin is installed, but the folder it is installed in is not "
                  L"recorded (") +
              kRecordShown +
              L", 32-bit view): record it there again, then run this again. Nothing was "
              L"changed.");
      return ERROR_INSTALL_FAILURE;
    }
  }
  const UINT result = RunCommands(install, L"CheckBeforeScript", Formatted(install, checks),
                                  kCheckLines, OnRefusal::kNothingChanged);
  if (result == ERROR_SUCCESS) {
    ::MsiSetPropertyW(install, L"FolderNotes", NewTransactionName().c_str());
  }
  return result;
}

// Deferred: the helper's checks before anything is written, as CheckBeforeScript made them.
extern "C" __declspec(dllexport) UINT __stdcall RunHelper(MSIHANDLE install) {
  return RunCommands(install, L"RunHelper", Property(install, L"CustomActionData"), kCheckLines,
                     OnRefusal::kUndone);
}

// Deferred: the same checks once the files are written, and whether the folders they were
// written to are the very ones made or judged (written-folders).
extern "C" __declspec(dllexport) UINT __stdcall CheckWritten(MSIHANDLE install) {
  return RunCommands(install, L"CheckWritten", Property(install, L"CustomActionData"),
                     kWrittenLines, OnRefusal::kUndone, /*written=*/true);
}

// Deferred, data "NOTES|QUARVEL|GSMMODEMJAR|INSTALLFOLDER": package-folders, then
// protect-folder, each folder it makes noted under NOTES (its identity, for RemoveNewFolders).
extern "C" __declspec(dllexport) UINT __stdcall ProtectFolders(MSIHANDLE install) {
  const WString data = Property(install, L"CustomActionData");
  Line folders = Split(data, kArgumentSeparator);
  // Folders that could not be undone are not made: without the notes' name, no command.
  if (folders.size() != 4 || !NotesName(folders[0]) ||
      data.find(kCommandSeparator) != WString::npos) {
    Log(install, INSTALLMESSAGE_ERROR,
        L"ProtectFolders was given data that is not the package's (" + Shown(data) +
            L"), so it makes nothing: Tolvarin is not installed, repaired or removed.");
    return ERROR_INSTALL_FAILURE;
  }
  MadeFolderNotes notes(folders[0]);
  SetMadeFolderSink(
      [&notes](const WString& path, HANDLE folder) { return notes.Note(path, folder); });
  struct SinkReset {
    ~SinkReset() { SetMadeFolderSink(nullptr); }
  } reset;
  std::transform(folders.begin(), folders.end(), folders.begin(), WithoutTrailingSeparators);
  folders[0] = kPackageFoldersCommand;
  Line protect = folders;
  protect[0] = L"protect-folder";
  return RunLines(install, {folders, protect}, OnRefusal::kUndone);
}

// Deferred: the Java runtime's preparation, which never stops the install (a runtime may come
// later; the lines say what to do).
extern "C" __declspec(dllexport) UINT __stdcall PrepareRuntime(MSIHANDLE install) {
  return RunCommands(install, L"PrepareRuntime", Property(install, L"CustomActionData"),
                     kPrepareLines, OnRefusal::kGoOn);
}

// Rollback, data NOTES: removes the folders ProtectFolders made in this transaction, deepest
// first, each only while it is that very folder and empty; says why it leaves one. Windows
// Installer removes only the folders it made itself, and the helper makes these before it.
extern "C" __declspec(dllexport) UINT __stdcall RemoveNewFolders(MSIHANDLE install) {
  const WString transaction = Property(install, L"CustomActionData");
  if (!NotesName(transaction)) return ERROR_SUCCESS;
  const Notes notes = ReadNotes(transaction);
  for (const auto& [path, id] : notes.folders) {
    if (const WString done = RemoveMadeFolder(path, id); !done.empty()) {
      Log(install, INSTALLMESSAGE_INFO, done);
    }
  }
  ForgetNotes(transaction, notes.keys_made);
  return ERROR_SUCCESS;
}

// Commit, data NOTES: the install stands, and so do the folders it made.
extern "C" __declspec(dllexport) UINT __stdcall ForgetNewFolders(MSIHANDLE install) {
  const WString transaction = Property(install, L"CustomActionData");
  if (NotesName(transaction)) ForgetNotes(transaction, ReadNotes(transaction).keys_made);
  return ERROR_SUCCESS;
}

}  // namespace tolvarin::installer::msi
