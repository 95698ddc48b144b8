// The package's custom actions (tolvarin.wxs): TolvarinHelper's commands run inside Windows
// Installer rather than as a program of their own, because Windows Installer logs nothing a
// program prints, and an administrator reading the /l*v log of a refused install must find why.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "installer/entry_view_win32.h"
#include "installer/helper_command.h"
#include "platform/error.h"
#include "platform/win32_util.h"

namespace {

using tolvarin::platform::win32::Utf8ToWide;
using tolvarin::platform::win32::WideToUtf8;
using tolvarin::installer::win32::WindowsEntryView;
using tolvarin::installer::win32::WithoutTrailingSeparators;

// The data of a deferred action: commands one per line, arguments separated by '|', which no
// Windows path holds (so a folder's trailing separator cannot escape a quote, as it would in a
// command line).
constexpr wchar_t kCommandSeparator = L'\n';
constexpr wchar_t kArgumentSeparator = L'|';

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

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether `folder` is a real folder holding anything but an earlier install. A link is the
// helper's to judge.
bool HoldsOthersFiles(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      Exists(folder + L"\\Varnolet.exe")) {
    return false;
  }
  try {
    return !WindowsEntryView().List(WideToUtf8(folder)).empty();
  } catch (const tolvarin::platform::Error&) {
    return false;  // what cannot be listed is the helper's to judge too
  }
}

// Runs the commands in the action's data, the helper's lines going to the log. `fatal`: the
// first refusal fails the install, which Windows Installer then undoes; so does data without a
// command, which would otherwise pass every check unseen.
UINT RunCommands(MSIHANDLE install, bool fatal) {
  namespace installer = tolvarin::installer;
  installer::SetSaySink([install](const std::string& line) {
    Log(install, INSTALLMESSAGE_INFO, L"TolvarinHelper: " + Utf8ToWide(line));
  });
  struct SinkReset {
    ~SinkReset() { installer::SetSaySink(nullptr); }
  } reset;
  std::wstring failure = L"the package gave this action no command";
  try {
    const installer::HelperContext context = installer::MakeHelperContext();
    const std::wstring data = Property(install, L"CustomActionData");
    for (const std::wstring& line : Split(data, kCommandSeparator)) {
      if (line.empty()) continue;
      std::vector<std::wstring> arguments = Split(line, kArgumentSeparator);
      std::transform(arguments.begin(), arguments.end(), arguments.begin(),
                     WithoutTrailingSeparators);
      const int status = installer::RunHelperCommand(arguments, context);
      failure.clear();
      if (status == installer::kDone) continue;
      failure = L"TolvarinHelper " + arguments[0] + L" ended with status " +
                std::to_wstring(status);
      if (fatal) break;
      Log(install, INSTALLMESSAGE_INFO, failure + L"; the install goes on.");
      failure.clear();
    }
  } catch (const std::exception& error) {
    failure = L"TolvarinHelper: " + Utf8ToWide(error.what());
  }
  if (failure.empty() || !fatal) return ERROR_SUCCESS;
  Log(install, INSTALLMESSAGE_ERROR,
      failure + L": Tolvarin cannot be installed safely, and Windows Installer undoes the "
                L"install. The TolvarinHelper lines before this one in its log say why.");
  return ERROR_INSTALL_FAILURE;
}

}  // namespace

// Deferred: the helper's checks, the folders it protects, the check of what was written.
extern "C" __declspec(dllexport) UINT __stdcall RunHelper(MSIHANDLE install) {
  return RunCommands(install, true);
}

// Deferred: the Java runtime's preparation, which never stops the install (a runtime may come
// later; the lines say what to do).
extern "C" __declspec(dllexport) UINT __stdcall PrepareRuntime(MSIHANDLE install) {
  return RunCommands(install, false);
}

// Immediate, before the folders are protected: refuses, on a first install, an install folder
// that holds anything but an earlier install (its access list is not the package's to change),
// as the setup program does; notes which folders (and folders above them) do not exist yet,
// deepest first, as the data of the rollback action that removes them again. Windows Installer
// removes on rollback only the folders it made itself, and the helper makes these before it.
extern "C" __declspec(dllexport) UINT __stdcall NoteNewFolders(MSIHANDLE install) {
  const std::wstring folder = WithoutTrailingSeparators(Property(install, L"INSTALLFOLDER"));
  const bool first = Property(install, L"Installed").empty() &&
                     Property(install, L"WIX_UPGRADE_DETECTED").empty();
  if (first && HoldsOthersFiles(folder)) {
    Log(install, INSTALLMESSAGE_ERROR,
        folder + L" already holds other files: choose a new or empty folder (INSTALLFOLDER). "
                 L"Nothing was changed.");
    return ERROR_INSTALL_FAILURE;
  }
  std::vector<std::wstring> missing;
  for (const wchar_t* name : {L"QUARVEL", L"GSMMODEMJAR", L"INSTALLFOLDER"}) {
    for (std::wstring path = WithoutTrailingSeparators(Property(install, name));
         path.size() > 3 && !Exists(path); path = path.substr(0, path.find_last_of(L'\\'))) {
      if (std::find(missing.begin(), missing.end(), path) == missing.end()) missing.push_back(path);
    }
  }
  // A folder's path is longer than any folder's above it.
  const auto deeper = [](const std::wstring& a, const std::wstring& b) {
    return a.size() > b.size();
  };
  std::stable_sort(missing.begin(), missing.end(), deeper);
  std::wstring data;
  for (const std::wstring& path : missing) data += (data.empty() ? L"" : L"|") + path;
  ::MsiSetPropertyW(install, L"RemoveNewFolders", data.c_str());
  return ERROR_SUCCESS;
}

// Rollback: removes the folders NoteNewFolders found missing, each only when empty.
extern "C" __declspec(dllexport) UINT __stdcall RemoveNewFolders(MSIHANDLE install) {
  const std::wstring data = Property(install, L"CustomActionData");
  if (data.empty()) return ERROR_SUCCESS;
  for (const std::wstring& path : Split(data, kArgumentSeparator)) {
    if (::RemoveDirectoryW(path.c_str())) Log(install, INSTALLMESSAGE_INFO, L"Removed " + path);
  }
  return ERROR_SUCCESS;
}
