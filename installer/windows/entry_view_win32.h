#ifndef TOLVARIN_INSTALLER_WINDOWS_ENTRY_VIEW_WIN32_H_
#define TOLVARIN_INSTALLER_WINDOWS_ENTRY_VIEW_WIN32_H_

// The file system as the folder rule sees it on Windows: each entry opened once, without
// following a link, and judged by what that handle shows.

#include <windows.h>

#include <optional>

#include "installer/rule/folder_trust.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::win32 {

// `path` without separators at its end; a drive's root ("C:\") stays whole.
WString WithoutTrailingSeparators(WString path);

// Whether two spellings name the same folder as Windows compares names: case aside, and
// separators at the end aside.
bool SameFolder(const WString& a, const WString& b);

// The text of the value `name` of HKLM\`key` in the 32-bit view, where Setup and the package
// (both 32-bit) record their install; none when the key or the value is missing. Fails when
// it cannot be read or is not text.
platform::Result<std::optional<WString>> RecordedText(const wchar_t* key, const wchar_t* name);

// The folder holding `path`: "C:\a\b" gives "C:\a", "C:\a" gives "C:\"; a root gives nothing.
WString ParentOf(const WString& path);

// The last name of `path`: "C:\a\b" gives "b".
WString NameOf(const WString& path);

// Opens `path` itself, never what a link there points to; folders open too. Invalid on failure,
// with the system's reason in `error`.
platform::win32::UniqueHandle OpenEntry(const WString& path, DWORD access, DWORD share,
                                        DWORD& error);

// Opens or creates the entry `name` inside the folder open through `parent` (with
// FILE_TRAVERSE), relative to that handle and never following a link at `name`: what the name
// leads to is what the call opens, whatever has become of the path to `parent` since. NtCreateFile's
// `disposition` and `options`; `descriptor`, when not null, is what a new entry gets. The
// system's error (ERROR_ALREADY_EXISTS when creating and the name is taken), ERROR_SUCCESS with
// `opened` set otherwise.
DWORD OpenBeneath(HANDLE parent, const WString& name, DWORD access, DWORD share,
                  ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR descriptor,
                  platform::win32::UniqueHandle& opened);

// The facts of the entry `path` for which OpenEntry failed with `error`.
EntryFacts FactsOfFailure(DWORD error);

// The facts of the entry open through `handle`, opened by OpenEntry with READ_CONTROL and
// FILE_READ_ATTRIBUTES: its kind, owner and access list. `path` names it: Wine opens the target
// of a Unix symbolic link whatever the flags, and shows the link only by name.
EntryFacts FactsOf(HANDLE handle, const WString& path);

// What a test build of the helper changes in the facts of `path` before the rule judges them
// (Wine shows one owner for every file); the shipped programs link facts_as_found_win32.cpp,
// which changes nothing.
void AdjustFactsForTest(const WString& path, EntryFacts& facts);

// Called where Setup is about to create `path` (a folder, or the log) after judging the place:
// a test build plants a link there, as a user racing Setup would; the shipped programs do
// nothing.
void BeforeCreatingForTest(const WString& path);

// Inspects with OpenEntry and FactsOf, lists with FindFirstFileExW (FirstProblemInside lists
// only folders it has judged real).
class WindowsEntryView : public EntryView {
 public:
  EntryFacts Inspect(const String& path) override;
  platform::Result<Vector<String>> List(const String& path) override;
};

}  // namespace tolvarin::installer::win32

#endif  // TOLVARIN_INSTALLER_WINDOWS_ENTRY_VIEW_WIN32_H_
