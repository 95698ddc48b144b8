// The package's custom actions (tolvarin.wxs): TolvarinHelper's commands run inside Windows
// Installer rather than as a program of their own, because Windows Installer logs nothing a
// program prints, and an administrator reading the /l*v log of a refused install must find why.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "installer/entry_view_win32.h"
#include "installer/helper_command.h"
#include "installer/local_folder.h"
#include "installer/protect_folder.h"
#include "platform/error.h"
#include "platform/win32_util.h"

namespace {

namespace installer = tolvarin::installer;
using installer::win32::SameFolder;
using installer::win32::WindowsEntryView;
using installer::win32::WithoutTrailingSeparators;
using tolvarin::platform::win32::DecimalText;
using tolvarin::platform::win32::SystemError;
using tolvarin::platform::win32::UniqueHandle;
using tolvarin::platform::win32::UniqueKey;
using tolvarin::platform::win32::Utf8ToWide;
using tolvarin::platform::win32::WideToUtf8;

// The data of a deferred action: commands one per line, arguments separated by '|', which no
// Windows path holds (so a folder's trailing separator cannot escape a quote, as it would in a
// command line).
constexpr wchar_t kCommandSeparator = L'\n';
constexpr wchar_t kArgumentSeparator = L'|';

// The launcher reads its support files from these, whatever the package's properties say.
constexpr wchar_t kSupportRoot[] = L"C:\\quarvel";
constexpr wchar_t kSupportFolder[] = L"C:\\quarvel\\GsmModemJar";

// Where the package records its install folder (tolvarin.wxs, InstallFolderValue), in the
// 32-bit view that the package writes to. Only administrators and SYSTEM can change it.
constexpr wchar_t kRecordKey[] = L"Software\\Quarvel\\Tolvarin";
constexpr wchar_t kRecordValue[] = L"InstallFolder";
constexpr wchar_t kRecordShown[] = L"HKLM\\Software\\Quarvel\\Tolvarin, InstallFolder";
constexpr REGSAM kView = KEY_WOW64_32KEY;

// Where each transaction notes the folders it made (MadeFolderNotes), and the keys above it,
// outermost first: those a transaction makes are removed again once empty.
constexpr wchar_t kNotesKey[] = L"Software\\Quarvel\\Tolvarin\\NewFolders";
constexpr const wchar_t* kKeysAboveNotes[] = {L"Software\\Quarvel", kRecordKey};

// The command this library runs itself rather than the helper: whether the folders named are
// the ones this package may write to (PackageFoldersCommand).
constexpr wchar_t kPackageFoldersCommand[] = L"package-folders";

void Log(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
  PMSIHANDLE record = ::MsiCreateRecord(0);
  ::MsiRecordSetStringW(record, 0, text.c_str());
  ::MsiProcessMessage(install, kind, record);
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (::MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) return {};
  std::wstring value(++size, L'\0');
  if (::MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
  value.resize(size);
  return value;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  std::wstring::size_type start = 0;
  for (std::wstring::size_type end; (end = text.find(separator, start)) != std::wstring::npos;
       start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

void SayWide(const std::wstring& line) { installer::Say(WideToUtf8(line)); }

// The install folder the package recorded, read by this process itself; none when Tolvarin is
// not installed. Throws platform::Error when it cannot be read.
std::optional<std::wstring> RecordedFolder() {
  return installer::win32::RecordedText(kRecordKey, kRecordValue);
}

// Whether `folder` is a real folder holding anything but an earlier install. A link is the
// helper's to judge.
bool HoldsOthersFiles(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      ::GetFileAttributesW((folder + L"\\Varnolet.exe").c_str()) != INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  try {
    return !WindowsEntryView().List(WideToUtf8(folder)).empty();
  } catch (const tolvarin::platform::Error&) {
    return false;  // what cannot be listed is the helper's to judge too
  }
}

// package-folders QUARVEL GSMMODEMJAR INSTALLFOLDER: the support folders must be the
// launcher's; the install folder an absolute local path and, while an install is recorded, the
// recorded one (a repair, upgrade or removal acts on that install alone, whatever its command
// line gave), otherwise one holding nothing but an earlier install. Judged from the registry,
// not from a property another process could have set.
int PackageFoldersCommand(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 3) return installer::kUsage;
  const std::pair<std::wstring, const wchar_t*> support[] = {{arguments[0], kSupportRoot},
                                                             {arguments[1], kSupportFolder}};
  for (const auto& [given, fixed] : support) {
    if (!SameFolder(given, fixed)) {
      SayWide(given + L" is not " + fixed + L": Varnolet.exe reads its support files from " +
              kSupportFolder + L" only, and no other folder is written in its place.");
      return installer::kRefused;
    }
  }
  const std::wstring& folder = arguments[2];
  if (const std::string problem = installer::LocalFolderProblem(WideToUtf8(folder));
      !problem.empty()) {
    SayWide(L"INSTALLFOLDER " + folder + L" " + Utf8ToWide(problem) +
            L": give an absolute path on a local drive.");
    return installer::kRefused;
  }
  const std::optional<std::wstring> recorded = RecordedFolder();
  if (recorded && !SameFolder(folder, *recorded)) {
    SayWide(L"Tolvarin is installed in " + WithoutTrailingSeparators(*recorded) + L" (" +
            kRecordShown + L"), not in INSTALLFOLDER " + folder +
            L": a repair, upgrade or removal acts on that install only, so run it without "
            L"INSTALLFOLDER. To move Tolvarin, uninstall it, then install it with the new "
            L"INSTALLFOLDER.");
    return installer::kRefused;
  }
  if (!recorded && HoldsOthersFiles(folder)) {
    SayWide(WithoutTrailingSeparators(folder) +
            L" already holds other files: choose a new or empty folder (INSTALLFOLDER).");
    return installer::kRefused;
  }
  return installer::kDone;
}

// What a refusal means where the commands ran.
enum class OnRefusal {
  kNothingChanged,  // before the script: nothing has been changed
  kUndone,          // in the script: Windows Installer undoes what it did
  kGoOn,            // never stops the install
};

// Runs the commands in `data`, the lines said going to the log; a refusal, and data without a
// command (which would otherwise pass every check unseen), fail the action unless kGoOn.
UINT RunCommands(MSIHANDLE install, const std::wstring& data, OnRefusal on_refusal) {
  installer::SetSaySink([install](const std::string& line) {
    Log(install, INSTALLMESSAGE_INFO, L"TolvarinHelper: " + Utf8ToWide(line));
  });
  struct SinkReset {
    ~SinkReset() { installer::SetSaySink(nullptr); }
  } reset;
  const bool fatal = on_refusal != OnRefusal::kGoOn;
  std::wstring failure = L"the package gave this action no command";
  try {
    const installer::HelperContext context = installer::MakeHelperContext();
    for (const std::wstring& line : Split(data, kCommandSeparator)) {
      if (line.empty()) continue;
      std::vector<std::wstring> arguments = Split(line, kArgumentSeparator);
      std::transform(arguments.begin(), arguments.end(), arguments.begin(),
                     WithoutTrailingSeparators);
      const int status = arguments[0] == kPackageFoldersCommand
                             ? PackageFoldersCommand({arguments.begin() + 1, arguments.end()})
                             : installer::RunHelperCommand(arguments, context);
      failure.clear();
      if (status == installer::kDone) continue;
      failure =
          L"TolvarinHelper " + arguments[0] + L" ended with status " + DecimalText(status);
      if (fatal) break;
      Log(install, INSTALLMESSAGE_INFO, failure + L"; the install goes on.");
      failure.clear();
    }
  } catch (const std::exception& error) {
    failure = L"TolvarinHelper: " + Utf8ToWide(error.what());
  }
  if (failure.empty() || !fatal) return ERROR_SUCCESS;
  Log(install, INSTALLMESSAGE_ERROR,
      failure +
          (on_refusal == OnRefusal::kNothingChanged
               ? L": Tolvarin is not installed, repaired or removed, and nothing was changed."
               : L": Tolvarin cannot be installed safely, and Windows Installer undoes the "
                 L"install.") +
          L" The TolvarinHelper lines before this one in its log say why.");
  return ERROR_INSTALL_FAILURE;
}

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
std::optional<FolderId> IdOf(HANDLE handle, DWORD& error) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    error = ::GetLastError();
    return std::nullopt;
  }
  return FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::wstring NotesPath(const std::wstring& transaction) {
  return kNotesKey + (L"\\" + transaction);
}

// The folders one transaction made, under kNotesKey\<transaction>: each folder's path as a
// value's name, its FolderId as the value; the default value counts the keys of
// kKeysAboveNotes the transaction made (the innermost ones). The key is made with the first
// note.
class MadeFolderNotes {
 public:
  explicit MadeFolderNotes(std::wstring transaction) : transaction_(std::move(transaction)) {}

  // Notes the folder just made at `path`. Throws platform::Error.
  void Note(const std::wstring& path) {
    DWORD error = ERROR_SUCCESS;
    const UniqueHandle folder = installer::win32::OpenEntry(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
    const std::optional<FolderId> id = folder.valid() ? IdOf(folder.get(), error) : std::nullopt;
    if (!id) {
      throw SystemError(error, WideToUtf8(path) + " was made but cannot be noted for rollback");
    }
    if (!key_) Open();
    const LSTATUS status = ::RegSetValueExW(key_.get(), path.c_str(), 0, REG_BINARY,
                                            reinterpret_cast<const BYTE*>(&*id), sizeof(*id));
    if (status != ERROR_SUCCESS) throw SystemError(status, "the notes of the folders made");
  }

 private:
  void Open() {
    DWORD made = 0;
    for (const wchar_t* path : kKeysAboveNotes) {
      bool created = false;
      Create(path, &created);
      made = created ? made + 1 : 0;
    }
    // Notes of a transaction that never ended (stopped, or run without rollback) are stale.
    ::RegDeleteTreeW(Create(kNotesKey, nullptr).get(), nullptr);
    key_ = Create(NotesPath(transaction_).c_str(), nullptr);
    const LSTATUS status = ::RegSetValueExW(key_.get(), nullptr, 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&made), sizeof(made));
    if (status != ERROR_SUCCESS) throw SystemError(status, "the notes of the folders made");
  }

  static UniqueKey Create(const wchar_t* path, bool* created) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | kView, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) throw SystemError(status, "the notes of the folders made");
    if (created) *created = disposition == REG_CREATED_NEW_KEY;
    return UniqueKey(key);
  }

  std::wstring transaction_;
  UniqueKey key_;
};

// The notes of `transaction`, deepest folder first, and how many keys it made; empty when it
// noted nothing.
struct Notes {
  std::vector<std::pair<std::wstring, FolderId>> folders;
  DWORD keys_made = 0;
};

Notes ReadNotes(const std::wstring& transaction) {
  Notes notes;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, NotesPath(transaction).c_str(), 0,
                      KEY_QUERY_VALUE | kView, &opened) != ERROR_SUCCESS) {
    return notes;
  }
  const UniqueKey key(opened);
  std::wstring name(32768, L'\0');
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

// Removes the notes of `transaction`, then, once empty, kNotesKey and the keys above it that
// the transaction made.
void ForgetNotes(const std::wstring& transaction, DWORD keys_made) {
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, NotesPath(transaction).c_str(), kView, 0);
  if (!KeyEmpty(kNotesKey)) return;
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kNotesKey, kView, 0);
  const DWORD above = static_cast<DWORD>(std::size(kKeysAboveNotes));
  for (DWORD level = above; level-- > above - std::min(keys_made, above);) {
    if (!KeyEmpty(kKeysAboveNotes[level])) break;
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKeysAboveNotes[level], kView, 0);
  }
}

// Deletes the folder at `path` when it is still the folder noted as `noted`, opened without
// following a link and deleted through that handle, and empty; what was done, for the log.
std::wstring RemoveMadeFolder(const std::wstring& path, const FolderId& noted) {
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle folder =
      installer::win32::OpenEntry(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  const std::wstring left = L"Left " + path + L", made by this install: ";
  if (!folder.valid()) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return left + L"it cannot be opened " + Utf8ToWide(installer::SystemFailure(error)) + L".";
  }
  if (installer::win32::FactsOf(folder.get(), path).kind == installer::EntryFacts::Kind::kLink) {
    return left + L"a link is in its place now.";
  }
  if (!(IdOf(folder.get(), error) == noted)) return left + L"another folder is in its place now.";
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!::SetFileInformationByHandle(folder.get(), FileDispositionInfo, &dispose, sizeof(dispose))) {
    error = ::GetLastError();
    return left + L"it cannot be removed " + Utf8ToWide(installer::SystemFailure(error)) + L".";
  }
  return L"Removed " + path + L", made by this install.";
}

// A name for this transaction's notes that no earlier transaction had: the time, in 100 ns.
std::wstring NewTransactionName() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return DecimalText(ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}.QuadPart);
}

}  // namespace

// Immediate, before the script, for every install, repair, upgrade and removal: refuses, while
// nothing has been changed yet, folders the package may not write to (package-folders), and,
// unless removing, what check-folder refuses; a maintenance run or upgrade without a recorded
// install folder is refused too. Names this transaction's notes (FolderNotes). A refusal here
// comes before Wine's msiexec schedules anything it would undo by deleting.
extern "C" __declspec(dllexport) UINT __stdcall CheckBeforeScript(MSIHANDLE install) {
  const std::wstring folders = Property(install, L"QUARVEL") + kArgumentSeparator +
                               Property(install, L"GSMMODEMJAR") + kArgumentSeparator +
                               Property(install, L"INSTALLFOLDER");
  const bool removing = ::CompareStringOrdinal(Property(install, L"REMOVE").c_str(), -1, L"ALL", -1,
                                               TRUE) == CSTR_EQUAL;
  const bool maintenance = !Property(install, L"Installed").empty() ||
                           !Property(install, L"WIX_UPGRADE_DETECTED").empty();
  std::wstring data = std::wstring(kPackageFoldersCommand) + kArgumentSeparator + folders;
  if (!removing) data += kCommandSeparator + (L"check-folder" + (kArgumentSeparator + folders));
  try {
    if (maintenance && !RecordedFolder()) {
      Log(install, INSTALLMESSAGE_ERROR,
          std::wstring(L"Tolvarin is installed, but the folder it is installed in is not "
                       L"recorded (") +
              kRecordShown +
              L", 32-bit view): record it there again, then run this again. Nothing was "
              L"changed.");
      return ERROR_INSTALL_FAILURE;
    }
  } catch (const std::exception& error) {
    Log(install, INSTALLMESSAGE_ERROR, Utf8ToWide(error.what()) + L". Nothing was changed.");
    return ERROR_INSTALL_FAILURE;
  }
  const UINT result = RunCommands(install, data, OnRefusal::kNothingChanged);
  if (result == ERROR_SUCCESS) {
    ::MsiSetPropertyW(install, L"FolderNotes", NewTransactionName().c_str());
  }
  return result;
}

// Deferred: the helper's checks before and after the files are written.
extern "C" __declspec(dllexport) UINT __stdcall RunHelper(MSIHANDLE install) {
  return RunCommands(install, Property(install, L"CustomActionData"), OnRefusal::kUndone);
}

// Deferred, data "NOTES|QUARVEL|GSMMODEMJAR|INSTALLFOLDER": package-folders, then
// protect-folder, each folder it makes noted under NOTES (its identity, for RemoveNewFolders).
extern "C" __declspec(dllexport) UINT __stdcall ProtectFolders(MSIHANDLE install) {
  const std::wstring data = Property(install, L"CustomActionData");
  const std::wstring::size_type split = data.find(kArgumentSeparator);
  const std::wstring folders = split == std::wstring::npos ? L"" : data.substr(split + 1);
  const std::wstring transaction = split == std::wstring::npos ? L"" : data.substr(0, split);
  MadeFolderNotes notes(transaction);
  installer::SetMadeFolderSink([&notes](const std::wstring& path) { notes.Note(path); });
  struct SinkReset {
    ~SinkReset() { installer::SetMadeFolderSink(nullptr); }
  } reset;
  // Folders that could not be undone are not made: without the notes' name, no command.
  const std::wstring commands =
      transaction.empty() || folders.empty()
          ? std::wstring()
          : kPackageFoldersCommand + (kArgumentSeparator + folders) + kCommandSeparator +
                L"protect-folder" + kArgumentSeparator + folders;
  return RunCommands(install, commands, OnRefusal::kUndone);
}

// Deferred: the Java runtime's preparation, which never stops the install (a runtime may come
// later; the lines say what to do).
extern "C" __declspec(dllexport) UINT __stdcall PrepareRuntime(MSIHANDLE install) {
  return RunCommands(install, Property(install, L"CustomActionData"), OnRefusal::kGoOn);
}

// Rollback, data NOTES: removes the folders ProtectFolders made in this transaction, deepest
// first, each only while it is that very folder and empty; says why it leaves one. Windows
// Installer removes only the folders it made itself, and the helper makes these before it.
extern "C" __declspec(dllexport) UINT __stdcall RemoveNewFolders(MSIHANDLE install) {
  const std::wstring transaction = Property(install, L"CustomActionData");
  if (transaction.empty()) return ERROR_SUCCESS;
  const Notes notes = ReadNotes(transaction);
  for (const auto& [path, id] : notes.folders) {
    try {
      if (const std::wstring done = RemoveMadeFolder(path, id); !done.empty()) {
        Log(install, INSTALLMESSAGE_INFO, done);
      }
    } catch (const std::exception& error) {
      Log(install, INSTALLMESSAGE_INFO,
          L"Left " + path + L", made by this install: " + Utf8ToWide(error.what()));
    }
  }
  ForgetNotes(transaction, notes.keys_made);
  return ERROR_SUCCESS;
}

// Commit, data NOTES: the install stands, and so do the folders it made.
extern "C" __declspec(dllexport) UINT __stdcall ForgetNewFolders(MSIHANDLE install) {
  const std::wstring transaction = Property(install, L"CustomActionData");
  if (!transaction.empty()) ForgetNotes(transaction, ReadNotes(transaction).keys_made);
  return ERROR_SUCCESS;
}
