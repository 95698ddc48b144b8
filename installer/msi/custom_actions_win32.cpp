// The package's custom actions (tolvarin.wxs): TolvarinHelper's commands run inside Windows
// Installer rather than as a program of their own, because Windows Installer logs nothing a
// program prints, and an administrator reading the /l*v log of a refused install must find why.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "installer/commands/helper_command.h"
#include "installer/commands/protect_folder.h"
#include "installer/rule/action_data.h"
#include "installer/rule/local_folder.h"
#include "installer/windows/entry_view_win32.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace {

namespace installer = tolvarin::installer;
using installer::kArgumentSeparator;
using installer::kCheckLines;
using installer::kCommandSeparator;
using installer::kPackageFoldersCommand;
using installer::kPrepareLines;
using installer::kWrittenFoldersCommand;
using installer::kWrittenLines;
using installer::Line;
using installer::LineShape;
using installer::Shown;
using installer::Split;
using installer::win32::SameFolder;
using installer::win32::WindowsEntryView;
using installer::win32::WithoutTrailingSeparators;
using tolvarin::String;
using tolvarin::Vector;
using tolvarin::WString;
using tolvarin::platform::win32::DecimalText;
using tolvarin::platform::win32::SystemError;
using tolvarin::platform::win32::UniqueHandle;
using tolvarin::platform::win32::UniqueKey;
using tolvarin::platform::win32::Utf8ToWideShown;
using tolvarin::platform::win32::WideToUtf8;

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

// The action whose data is the checks before anything is written: the check before the script
// runs the very same commands.
constexpr wchar_t kChecksBeforeWriting[] = L"SetCheckBeforeWriting";

void Log(MSIHANDLE install, INSTALLMESSAGE kind, const WString& text) {
  PMSIHANDLE record = ::MsiCreateRecord(0);
  ::MsiRecordSetStringW(record, 0, text.c_str());
  ::MsiProcessMessage(install, kind, record);
}

// The text a Windows Installer function `get` writes into the buffer it is handed, asked first
// for its size; empty when there is none or it cannot be read.
template <typename Get>
WString MsiText(Get get) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (get(none, &size) != ERROR_MORE_DATA) return {};
  WString text(++size, L'\0');
  if (get(text.data(), &size) != ERROR_SUCCESS) return {};
  text.resize(size);
  return text;
}

WString Property(MSIHANDLE install, const wchar_t* name) {
  return MsiText([&](wchar_t* text, DWORD* size) {
    return ::MsiGetPropertyW(install, name, text, size);
  });
}

void SayWide(const WString& line) { installer::Say(WideToUtf8(line)); }

// Whether `text` names a transaction's notes (NewTransactionName): digits only.
bool NotesName(const WString& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The install folder the package recorded, read by this process itself; none when Tolvarin is
// not installed. Fails when it cannot be read.
tolvarin::platform::Result<std::optional<WString>> RecordedFolder() {
  return installer::win32::RecordedText(kRecordKey, kRecordValue);
}

// Whether `folder` is a real folder holding anything at all: with no install recorded, nothing
// in it is an earlier install's. A link is the helper's to judge.
bool HoldsOthersFiles(const WString& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  // What cannot be listed is the helper's to judge too.
  const tolvarin::platform::Result<Vector<String>> names =
      WindowsEntryView().List(WideToUtf8(folder));
  return names.ok() && !names->empty();
}

// package-folders QUARVEL GSMMODEMJAR INSTALLFOLDER: the support folders must be the
// launcher's; the install folder an absolute local path and, while an install is recorded, the
// recorded one (a repair, upgrade or removal acts on that install alone, whatever its command
// line gave), otherwise a new or empty one (once `written`, holding the install's own files).
// Judged from the registry, not from a property another process could have set.
int PackageFoldersCommand(const Vector<WString>& arguments, bool written) {
  if (arguments.size() != 3) return installer::kUsage;
  const std::pair<WString, const wchar_t*> support[] = {{arguments[0], kSupportRoot},
                                                        {arguments[1], kSupportFolder}};
  for (const auto& [given, fixed] : support) {
    if (!SameFolder(given, fixed)) {
      SayWide(given + L" is not " + fixed + L": Varnolet.exe reads its support files from " +
              kSupportFolder + L" only, and no other folder is written in its place.");
      return installer::kRefused;
    }
  }
  const WString& folder = arguments[2];
  if (const String problem = installer::LocalFolderProblem(WideToUtf8(folder));
      !problem.empty()) {
    SayWide(L"INSTALLFOLDER " + folder + L" " + Utf8ToWideShown(problem) +
            L": give an absolute path on a local drive.");
    return installer::kRefused;
  }
  const tolvarin::platform::Result<std::optional<WString>> read = RecordedFolder();
  if (!read.ok()) {
    installer::Say(read.error().description());
    return installer::kFailed;
  }
  const std::optional<WString>& recorded = *read;
  if (recorded && !SameFolder(folder, *recorded)) {
    SayWide(L"Tolvarin is installed in " + WithoutTrailingSeparators(*recorded) + L" (" +
            kRecordShown + L"), not in INSTALLFOLDER " + folder +
            L": a repair, upgrade or removal acts on that install only, so run it without "
            L"INSTALLFOLDER. To move Tolvarin, uninstall it, then install it with the new "
            L"INSTALLFOLDER.");
    return installer::kRefused;
  }
  if (!recorded && !written && HoldsOthersFiles(folder)) {
    SayWide(WithoutTrailingSeparators(folder) +
            L" already holds other files: choose a new or empty folder (INSTALLFOLDER).");
    return installer::kRefused;
  }
  return installer::kDone;
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

WString NotesPath(const WString& transaction) {
  return kNotesKey + (L"\\" + transaction);
}

// The folders one transaction made, under kNotesKey\<transaction>: each folder's path as a
// value's name, its FolderId as the value; the default value counts the keys of
// kKeysAboveNotes the transaction made (the innermost ones). The key is made with the first
// note.
class MadeFolderNotes {
 public:
  explicit MadeFolderNotes(WString transaction) : transaction_(std::move(transaction)) {}

  // Notes the folder just made at `path`, open through `folder`, the handle that made it.
  // Fails, also when that is not a real folder.
  tolvarin::platform::Outcome Note(const WString& path, HANDLE folder) {
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
      if (const tolvarin::platform::Outcome opened = Open(); !opened.ok()) return opened;
    }
    const LSTATUS status = ::RegSetValueExW(key_.get(), path.c_str(), 0, REG_BINARY,
                                            reinterpret_cast<const BYTE*>(&id), sizeof(id));
    if (status != ERROR_SUCCESS) return SystemError(status, "the notes of the folders made");
    return {};
  }

 private:
  tolvarin::platform::Outcome Open() {
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

  // Opens or creates the key at `path`, into `opened` when given; the system's status.
  static LSTATUS Create(const wchar_t* path, bool* created, UniqueKey* opened) {
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

  WString transaction_;
  UniqueKey key_;
};

// The notes of `transaction`, deepest folder first, and how many keys it made; empty when it
// noted nothing.
struct Notes {
  Vector<std::pair<WString, FolderId>> folders;
  DWORD keys_made = 0;
};

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

// Deletes the folder at `path` when it is still the folder noted as `noted`, opened without
// following a link and deleted through that handle, and empty; what was done, for the log.
WString RemoveMadeFolder(const WString& path, const FolderId& noted) {
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle folder =
      installer::win32::OpenEntry(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  const WString left = L"Left " + path + L", made by this install: ";
  if (!folder.valid()) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return left + L"it cannot be opened " + Utf8ToWideShown(installer::SystemFailure(error)) + L".";
  }
  if (installer::win32::FactsOf(folder.get(), path).kind == installer::EntryFacts::Kind::kLink) {
    return left + L"a link is in its place now.";
  }
  if (!(IdOf(folder.get(), error) == noted)) return left + L"another folder is in its place now.";
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!::SetFileInformationByHandle(folder.get(), FileDispositionInfo, &dispose, sizeof(dispose))) {
    error = ::GetLastError();
    return left + L"it cannot be removed " + Utf8ToWideShown(installer::SystemFailure(error)) +
           L".";
  }
  return L"Removed " + path + L", made by this install.";
}

// written-folders NOTES QUARVEL GSMMODEMJAR INSTALLFOLDER, after the files are written: each
// of the three folders exists and is a real folder, and every folder NOTES lists as made by this
// transaction is still that very folder. A folder that was moved away, or a link put in place
// of one, since it was made or judged means the files went somewhere else.
int WrittenFoldersCommand(const Vector<WString>& arguments) {
  if (arguments.size() != 4 || !NotesName(arguments[0])) return installer::kUsage;
  bool refused = false;
  const auto judge = [&refused](const WString& path, const FolderId* noted) {
    DWORD error = ERROR_SUCCESS;
    const UniqueHandle folder = installer::win32::OpenEntry(
        path, READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
    const installer::EntryFacts facts = folder.valid()
                                            ? installer::win32::FactsOf(folder.get(), path)
                                            : installer::win32::FactsOfFailure(error);
    WString problem;
    if (facts.kind == installer::EntryFacts::Kind::kMissing) {
      problem = L"does not exist";
    } else if (facts.kind != installer::EntryFacts::Kind::kFolder) {
      problem = Utf8ToWideShown(installer::Problem(facts, installer::TrustedAccounts({}),
                                              installer::Role::kKept));
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
  return refused ? installer::kRefused : installer::kDone;
}

// What a refusal means where the commands ran.
enum class OnRefusal {
  kNothingChanged,  // before the script: nothing has been changed
  kUndone,          // in the script: Windows Installer undoes what it did
  kGoOn,            // never stops the install
};

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

// Runs `lines`, what they say going to the log; a refusal fails the action unless kGoOn.
// `written`: the files are written, so the install folder holds the install's own.
UINT RunLines(MSIHANDLE install, const Vector<Line>& lines, OnRefusal on_refusal,
              bool written = false) {
  installer::SetSaySink([install](const String& line) {
    Log(install, INSTALLMESSAGE_INFO, L"TolvarinHelper: " + Utf8ToWideShown(line));
  });
  struct SinkReset {
    ~SinkReset() { installer::SetSaySink(nullptr); }
  } reset;
  const tolvarin::platform::Result<installer::HelperContext> context =
      installer::MakeHelperContext();
  if (!context.ok()) {
    return Failed(install, L"TolvarinHelper: " + Utf8ToWideShown(context.error().description()),
                  on_refusal);
  }
  for (const Line& line : lines) {
    const Vector<WString> arguments(line.begin() + 1, line.end());
    const int status =
        line[0] == kPackageFoldersCommand   ? PackageFoldersCommand(arguments, written)
        : line[0] == kWrittenFoldersCommand ? WrittenFoldersCommand(arguments)
                                            : installer::RunHelperCommand(line, *context);
    if (status == installer::kDone) continue;
    const WString failure =
        L"TolvarinHelper " + line[0] + L" ended with status " + DecimalText(status);
    if (const UINT result = Failed(install, failure, on_refusal); result != ERROR_SUCCESS) {
      return result;
    }
  }
  return ERROR_SUCCESS;
}

// Runs the commands in `data` when it has the shape `shapes` gives; data of another shape is
// not the package's and fails the action, kGoOn or not.
UINT RunCommands(MSIHANDLE install, const WString& action, const WString& data,
                 std::span<const LineShape> shapes, OnRefusal on_refusal, bool written = false) {
  WString problem;
  std::optional<Vector<Line>> lines = installer::Lines(data, shapes, problem);
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

// A name for this transaction's notes that no earlier transaction had: the time, in 100 ns.
WString NewTransactionName() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return DecimalText(ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}.QuadPart);
}

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
tolvarin::platform::Result<Vector<std::pair<WString, WString>>> ActionDataRows(
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

// `target` formatted as Windows Installer formats a property it sets.
WString Formatted(MSIHANDLE install, const WString& target) {
  PMSIHANDLE record = ::MsiCreateRecord(0);
  ::MsiRecordSetStringW(record, 0, target.c_str());
  return MsiText([&](wchar_t* text, DWORD* size) {
    return ::MsiFormatRecordW(install, record, text, size);
  });
}

}  // namespace

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
  const tolvarin::platform::Result<Vector<std::pair<WString, WString>>> rows =
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
      const String problem = installer::ValueProblem(value);
      if (problem.empty()) continue;
      Log(install, INSTALLMESSAGE_ERROR,
          name + L" " + Shown(WithoutTrailingSeparators(value)) + L" " +
              Utf8ToWideShown(problem) +
              L": give an absolute path on a local drive. Nothing was changed.");
      return ERROR_INSTALL_FAILURE;
    }
  }
  if (maintenance) {
    const tolvarin::platform::Result<std::optional<WString>> recorded = RecordedFolder();
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
  installer::SetMadeFolderSink(
      [&notes](const WString& path, HANDLE folder) { return notes.Note(path, folder); });
  struct SinkReset {
    ~SinkReset() { installer::SetMadeFolderSink(nullptr); }
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
