#ifndef TOLVARIN_INSTALLER_MSI_FOLDER_NOTES_WIN32_H_
#define TOLVARIN_INSTALLER_MSI_FOLDER_NOTES_WIN32_H_

// The folders a transaction made, noted by identity, so that its rollback removes those and no
// other: Windows Installer removes only the folders it made itself, and the helper makes these
// before it.

#include <windows.h>

#include <optional>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::msi {

// A folder as the file system knows it, whatever its name: the volume and the file's index.
struct FolderId {
  DWORD volume = 0;
  DWORD index_high = 0;
  DWORD index_low = 0;
  bool operator==(const FolderId& other) const {
    return volume == other.volume && index_high == other.index_high && index_low == other.index_low;
  }
};

// The identity of the entry open through `handle`; none, with the system's reason in `error`,
// when it cannot be read.
std::optional<FolderId> IdOf(HANDLE handle, DWORD& error);

// Whether `text` names a transaction's notes (NewTransactionName): digits only.
bool NotesName(const WString& text);

// A name for this transaction's notes that no earlier transaction had: the time, in 100 ns.
WString NewTransactionName();

// The folders one transaction made, under HKLM\Software\Quarvel\Tolvarin\NewFolders\<transaction>
// (32-bit view): each folder's path as a value's name, its FolderId as the value; the default
// value counts the keys above NewFolders that the transaction made (the innermost ones). The key
// is made with the first note.
class MadeFolderNotes {
 public:
  explicit MadeFolderNotes(WString transaction) : transaction_(std::move(transaction)) {}

  // Notes the folder just made at `path`, open through `folder`, the handle that made it.
  // Fails, also when that is not a real folder.
  platform::Outcome Note(const WString& path, HANDLE folder);

 private:
  platform::Outcome Open();

  WString transaction_;
  platform::win32::UniqueKey key_;
};

// The notes of `transaction`, deepest folder first, and how many keys it made; empty when it
// noted nothing.
struct Notes {
  Vector<std::pair<WString, FolderId>> folders;
  DWORD keys_made = 0;
};

Notes ReadNotes(const WString& transaction);

// Removes the notes of `transaction`, then, once empty, kNotesKey and the keys above it that
// the transaction made.
void ForgetNotes(const WString& transaction, DWORD keys_made);

// Deletes the folder at `path` when it is still the folder noted as `noted`, opened without
// following a link and deleted through that handle, and empty; what was done, for the log.
WString RemoveMadeFolder(const WString& path, const FolderId& noted);

}  // namespace tolvarin::installer::msi

#endif  // TOLVARIN_INSTALLER_MSI_FOLDER_NOTES_WIN32_H_
