#include "installer/msi/folder_notes_win32.h"

#include <algorithm>
#include <cstring>

#include "installer/commands/helper_command.h"
#include "installer/msi/package_win32.h"
#include "installer/windows/entry_view_win32.h"

namespace tolvarin::installer::msi {
namespace {

using platform::win32::DecimalText;
using platform::win32::SystemError;
using platform::win32::UniqueHandle;
using platform::win32::UniqueKey;
using platform::win32::Utf8ToWideShown;
using platform::win32::WideToUtf8;

// Where each transaction notes the folders it made (MadeFolderNotes), and the keys above it,
// outermost first: those a transaction makes are removed again once empty.
constexpr wchar_t kNotesKey[] = L"Software\\Quarvel\\Tolvarin\\NewFolders";
constexpr const wchar_t* kKeysAboveNotes[] = {L"Software\\Quarvel", kRecordKey};

WString NotesPath(const WString& transaction) {
  return kNotesKey + (L"\\" + transaction);
}

// Opens or creates the key at `path`, into `opened` when given; the system's status.
LSTATUS Create(const wchar_t* path, bool* created, UniqueKey* opened) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                                           KEY_ALL_ACCESS | kView, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return status;
  UniqueKey owned(key);
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  if (opened) *opened = std::move(owned);
  return ERROR_SUCCESS;
}

bool KeyEmpty(const wchar_t* path) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | kView, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  const UniqueKey key(opened);
  DWORD subkeys = 1;
  DWORD values = 1;
  return ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

}  // namespace

std::optional<FolderId> IdOf(HANDLE handle, DWORD& error) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    error = ::GetLastError();
    return std::nullopt;
  }
  return FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

bool NotesName(const WString& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

WString NewTransactionName() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return DecimalText(ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}.QuadPart);
}

platform::Outcome MadeFolderNotes::Note(const WString& path, HANDLE folder) {
  DWORD error = ERROR_SUCCESS;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(folder, &info)) {
    error = ::GetLastError();
    return SystemError(error, WideToUtf8(path) + " was made but cannot be noted for rollback");
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return SystemError(ERROR_DIRECTORY,
                       WideToUtf8(path) + " is not a real folder: not noted for rollback");
  }
  const FolderId id{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  if (!key_) {
    if (const platform::Outcome opened = Open(); !opened.ok()) return opened;
  }
  const LSTATUS status = ::RegSetValueExW(key_.get(), path.c_str(), 0, REG_BINARY,
                                          reinterpret_cast<const BYTE*>(&id), sizeof(id));
  if (status != ERROR_SUCCESS) return SystemError(status, "the notes of the folders made");
  return {};
}

platform::Outcome MadeFolderNotes::Open() {
  DWORD made = 0;
  for (const wchar_t* path : kKeysAboveNotes) {
    bool created = false;
    if (const LSTATUS status = Create(path, &created, nullptr); status != ERROR_SUCCESS) {
      return SystemError(status, "the notes of the folders made");
    }
    made = created ? made + 1 : 0;
  }
  // Notes of a transaction that never ended (stopped, or run without rollback) are stale.
  UniqueKey notes;
  LSTATUS status = Create(kNotesKey, nullptr, &notes);
  if (status == ERROR_SUCCESS) {
    ::RegDeleteTreeW(notes.get(), nullptr);
    status = Create(NotesPath(transaction_).c_str(), nullptr, &key_);
  }
  if (status == ERROR_SUCCESS) {
    status = ::RegSetValueExW(key_.get(), nullptr, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&made), sizeof(made));
  }
  if (status != ERROR_SUCCESS) return SystemError(status, "the notes of the folders made");
  return {};
}

Notes ReadNotes(const WString& transaction) {
  Notes notes;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, NotesPath(transaction).c_str(), 0,
                      KEY_QUERY_VALUE | kView, &opened) != ERROR_SUCCESS) {
    return notes;
  }
  const UniqueKey key(opened);
  WString name(32768, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD type = 0;
    BYTE data[sizeof(FolderId)] = {};
    DWORD bytes = sizeof(data);
    const LSTATUS status =
        ::RegEnumValueW(key.get(), index, name.data(), &name_size, nullptr, &type, data, &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    if (name_size == 0 && type == REG_DWORD && bytes == sizeof(notes.keys_made)) {
      std::memcpy(&notes.keys_made, data, bytes);
    } else if (type == REG_BINARY && bytes == sizeof(FolderId)) {
      FolderId id;
      std::memcpy(&id, data, bytes);
      notes.folders.emplace_back(name.substr(0, name_size), id);
    }
  }
  // A folder's path is longer than that of any folder holding it.
  std::stable_sort(notes.folders.begin(), notes.folders.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  return notes;
}

void ForgetNotes(const WString& transaction, DWORD keys_made) {
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, NotesPath(transaction).c_str(), kView, 0);
  if (!KeyEmpty(kNotesKey)) return;
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kNotesKey, kView, 0);
  const DWORD above = static_cast<DWORD>(std::size(kKeysAboveNotes));
  for (DWORD level = above; level-- > above - std::min(keys_made, above);) {
    if (!KeyEmpty(kKeysAboveNotes[level])) break;
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKeysAboveNotes[level], kView, 0);
  }
}

WString RemoveMadeFolder(const WString& path, const FolderId& noted) {
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle folder =
      win32::OpenEntry(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  const WString left = L"Left " + path + L", made by this install: ";
  if (!folder.valid()) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return left + L"it cannot be opened " + Utf8ToWideShown(SystemFailure(error)) + L".";
  }
  if (win32::FactsOf(folder.get(), path).kind == EntryFacts::Kind::kLink) {
    return left + L"a link is in its place now.";
  }
  if (!(IdOf(folder.get(), error) == noted)) return left + L"another folder is in its place now.";
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!::SetFileInformationByHandle(folder.get(), FileDispositionInfo, &dispose, sizeof(dispose))) {
    error = ::GetLastError();
    return left + L"it cannot be removed " + Utf8ToWideShown(SystemFailure(error)) +
           L".";
  }
  return L"Removed " + path + L", made by this install.";
}

}  // namespace tolvarin::installer::msi
