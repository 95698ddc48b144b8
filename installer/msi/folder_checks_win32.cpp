#include "installer/msi/folder_checks_win32.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "installer/commands/helper_command.h"
#include "installer/msi/folder_notes_win32.h"
#include "installer/msi/package_win32.h"
#include "installer/rule/local_folder.h"
#include "installer/windows/entry_view_win32.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::msi {
namespace {

using platform::win32::UniqueHandle;
using platform::win32::Utf8ToWideShown;
using platform::win32::WideToUtf8;
using win32::SameFolder;
using win32::WithoutTrailingSeparators;

// Whether `folder` is a real folder holding anything at all: with no install recorded, nothing
// in it is an earlier install's. A link is the helper's to judge.
bool HoldsOthersFiles(const WString& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  // What cannot be listed is the helper's to judge too.
  const platform::Result<Vector<String>> names =
      win32::WindowsEntryView().List(WideToUtf8(folder));
  return names.ok() && !names->empty();
}

}  // namespace

int PackageFoldersCommand(const Vector<WString>& arguments, bool written) {
  if (arguments.size() != 3) return kUsage;
  const std::pair<WString, const wchar_t*> support[] = {{arguments[0], kSupportRoot},
                                                        {arguments[1], kSupportFolder}};
  for (const auto& [given, fixed] : support) {
    if (!SameFolder(given, fixed)) {
      SayWide(given + L" is not " + fixed + L": Varnolet.exe reads its support files from " +
              kSupportFolder + L" only, and no other folder is written in its place.");
      return kRefused;
    }
  }
  const WString& folder = arguments[2];
  if (const String problem = LocalFolderProblem(WideToUtf8(folder));
      !problem.empty()) {
    SayWide(L"INSTALLFOLDER " + folder + L" " + Utf8ToWideShown(problem) +
            L": give an absolute path on a local drive.");
    return kRefused;
  }
  const platform::Result<std::optional<WString>> read = RecordedFolder();
  if (!read.ok()) {
    Say(read.error().description());
    return kFailed;
  }
  const std::optional<WString>& recorded = *read;
  if (recorded && !SameFolder(folder, *recorded)) {
    SayWide(L"Tolvarin is installed in " + WithoutTrailingSeparators(*recorded) + L" (" +
            kRecordShown + L"), not in INSTALLFOLDER " + folder +
            L": a repair, upgrade or removal acts on that install only, so run it without "
            L"INSTALLFOLDER. To move Tolvarin, uninstall it, then install it with the new "
            L"INSTALLFOLDER.");
    return kRefused;
  }
  if (!recorded && !written && HoldsOthersFiles(folder)) {
    SayWide(WithoutTrailingSeparators(folder) +
            L" already holds other files: choose a new or empty folder (INSTALLFOLDER).");
    return kRefused;
  }
  return kDone;
}

int WrittenFoldersCommand(const Vector<WString>& arguments) {
  if (arguments.size() != 4 || !NotesName(arguments[0])) return kUsage;
  bool refused = false;
  const auto judge = [&refused](const WString& path, const FolderId* noted) {
    DWORD error = ERROR_SUCCESS;
    const UniqueHandle folder = win32::OpenEntry(
        path, READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
    const EntryFacts facts = folder.valid()
                                            ? win32::FactsOf(folder.get(), path)
                                            : win32::FactsOfFailure(error);
    WString problem;
    if (facts.kind == EntryFacts::Kind::kMissing) {
      problem = L"does not exist";
    } else if (facts.kind != EntryFacts::Kind::kFolder) {
      problem = Utf8ToWideShown(Problem(facts, TrustedAccounts({}),
                                              Role::kKept));
    } else if (noted && !(IdOf(folder.get(), error) == *noted)) {
      problem = L"is another folder than the one this install made";
    }
    if (problem.empty()) return;
    SayWide(path + L" " + problem + L" now, after the files were written to it.");
    refused = true;
  };
  const Notes notes = ReadNotes(arguments[0]);
  for (const auto& [path, id] : notes.folders) judge(path, &id);
  for (auto folder = arguments.begin() + 1; folder != arguments.end(); ++folder) {
    const bool noted =
        std::any_of(notes.folders.begin(), notes.folders.end(),
                    [&](const auto& note) { return SameFolder(note.first, *folder); });
    if (!noted) judge(*folder, nullptr);
  }
  return refused ? kRefused : kDone;
}

}  // namespace tolvarin::installer::msi
