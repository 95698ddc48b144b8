#include "installer/commands/uninstall.h"

#include <windows.h>
#include <ntsecapi.h>

#include <optional>

#include "installer/commands/protect_folder.h"
#include "installer/windows/entry_view_win32.h"
#include "installer/windows/security_win32.h"
#include "javaruntime/support_location.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::installer {
namespace {

using platform::win32::SystemError;
using platform::win32::UniqueHandle;
using platform::win32::WideToUtf8;

constexpr int kNotStarted = 2;
constexpr int kNotTheInstall = 4;
constexpr int kFolderRefused = 6;
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvarin";

// The install folder Add/Remove Programs records; empty when there is none or it cannot be read.
WString RecordedInstallFolder() {
  const platform::Result<std::optional<WString>> recorded =
      win32::RecordedText(kUninstallKey, L"InstallLocation");
  return recorded.ok() ? recorded->value_or(L"") : WString();
}

// `path` as the file system spells it: full, long names, no trailing separator.
WString Canonical(const WString& path) {
  WString full(32768, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                    nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  WString long_name(32768, L'\0');
  length = ::GetLongPathNameW(full.c_str(), long_name.data(), static_cast<DWORD>(long_name.size()));
  if (length != 0 && length < long_name.size()) full = long_name.substr(0, length);
  return win32::WithoutTrailingSeparators(full);
}

constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED
constexpr int kAttempts = 20;
constexpr DWORD kPauseMs = 100;

platform::Result<WString> ThisProgram() {
  WString path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0) {
    const DWORD error = ::GetLastError();
    return SystemError(error, "Cannot find this program's own file");
  }
  path.resize(length);
  return path;
}

// 128 random bits in hexadecimal: a name nobody can make first, in a folder where anyone may
// make names (the temporary folder of SYSTEM, say).
platform::Result<WString> RandomName() {
  unsigned char bits[16];
  if (!::RtlGenRandom(bits, sizeof(bits))) {
    const DWORD error = ::GetLastError();
    return SystemError(error, "Cannot draw a random name");
  }
  WString name;
  for (const unsigned char bit : bits) {
    name += L"0123456789abcdef"[bit >> 4];
    name += L"0123456789abcdef"[bit & 0xF];
  }
  return name;
}

// A new folder in the temporary folder, under a name nobody can guess, made with the protected
// list in the call that creates it: nobody but an administrator can put another uninstaller in
// place of the copy, nor block the uninstall by making the name first.
platform::Result<WString> MakeWorkFolder(const win32::SecurityDescriptor& descriptor) {
  if (!descriptor.valid()) return descriptor.failure();
  WString temp(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length >= temp.size()) {
    const DWORD error = length == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW;
    return SystemError(error, "Cannot find the temporary folder");
  }
  temp.resize(length);
  for (int attempt = 0;; ++attempt) {
    const platform::Result<WString> name = RandomName();
    if (!name.ok()) return name.error();
    const WString path = temp + L"Tolvarin-uninstall-" + *name;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    if (::CreateDirectoryW(path.c_str(), &attributes)) return path;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS || attempt == kAttempts) {
      return SystemError(error, "Cannot make a folder in " + WideToUtf8(temp));
    }
  }
}

// Deletes the file once the process that ran it has let go of it; otherwise at the next restart.
void DeleteSoon(const WString& path) {
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    if (::DeleteFileW(path.c_str())) return;
    ::Sleep(kPauseMs);
  }
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int Uninstall(const Vector<WString>& arguments, const HelperContext& context) {
  if (arguments.size() > 1 || (arguments.size() == 1 && arguments[0] != L"/S")) return kUsage;
  const platform::Result<WString> program = ThisProgram();
  if (!program.ok()) {
    Say(program.error().description());
    return kFailed;
  }
  const WString& self = *program;
  const WString folder = self.substr(0, self.find_last_of(L'\\'));
  // Signed and elevated, this program would otherwise run any Uninstall.exe a user put beside a
  // copy of it, as an administrator.
  const WString recorded = RecordedInstallFolder();
  if (recorded.empty() || !win32::SameFolder(Canonical(recorded), Canonical(folder))) {
    Say(WideToUtf8(folder) + " is not where Tolvarin is installed" +
        (recorded.empty() ? String(" (Add/Remove Programs records no install)")
                          : " (Add/Remove Programs records " + WideToUtf8(recorded) + ")") +
        ": nothing was run. Uninstall Tolvarin from Add/Remove Programs.");
    return kNotTheInstall;
  }
  if (!FolderTrusted(folder, context)) {
    Say("Others could have changed what lies in " + WideToUtf8(folder) +
        ", so its uninstaller was not run.");
    return kNotTheInstall;
  }
  // The uninstaller deletes the support files by path: a folder someone made in place of one
  // that an administrator removed, or a link there, would choose what it deletes. (A missing one
  // holds nothing to remove; the uninstaller judges again what it finds.)
  const platform::Result<WString> support =
      platform::win32::Utf8ToWide(javaruntime::SupportSourceDirectory());
  if (!support.ok()) {
    Say(support.error().description());
    return kFailed;
  }
  const WString support_folder = win32::WithoutTrailingSeparators(*support);
  for (const WString& removed : {win32::ParentOf(support_folder), support_folder}) {
    if (!FolderTrusted(removed, context)) {
      Say("Nothing was removed: let only administrators change " + WideToUtf8(removed) +
          ", or remove it if Tolvarin did not make it, then uninstall again.");
      return kFolderRefused;
    }
  }
  const WString uninstaller = folder + L"\\Uninstall.exe";
  const win32::SecurityDescriptor descriptor(win32::kProtectedFolderSddl);
  const platform::Result<WString> made = MakeWorkFolder(descriptor);
  if (!made.ok()) {
    Say(made.error().description());
    return kFailed;
  }
  const WString& work = *made;
  const WString copy = work + L"\\Uninstall.exe";
  if (!::CopyFileW(uninstaller.c_str(), copy.c_str(), TRUE)) {
    const DWORD error = ::GetLastError();
    ::RemoveDirectoryW(work.c_str());
    Say("Cannot copy " + WideToUtf8(uninstaller) + " " + SystemFailure(error) +
        ". Nothing was removed.");
    return kNotStarted;
  }
  const WString moved = work + L"\\" + self.substr(folder.size() + 1);
  const bool left = ::MoveFileExW(self.c_str(), moved.c_str(), 0) != FALSE;

  // _?= comes last and takes the rest of the line, spaces included.
  WString command =
      L"\"" + copy + L"\"" + (arguments.empty() ? L"" : L" /S") + L" _?=" + folder;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  DWORD status = kNotStarted;
  if (::CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started)) {
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    ::GetExitCodeProcess(process.get(), &status);
  } else {
    const DWORD error = ::GetLastError();
    // A standard user's process cannot start the uninstaller, which asks for elevation.
    if (error == kElevationRequired) status = error;
    Say("Cannot start the uninstaller " + SystemFailure(error) + ". Nothing was removed.");
  }

  DeleteSoon(copy);
  const bool uninstalled = ::GetFileAttributesW(uninstaller.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (left && !uninstalled && ::MoveFileExW(moved.c_str(), self.c_str(), 0)) {
    ::RemoveDirectoryW(work.c_str());
  } else if (left) {
    ::MoveFileExW(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(work.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  } else {
    ::RemoveDirectoryW(work.c_str());
  }
  return static_cast<int>(status);
}

}  // namespace

const HelperCommand kUninstallCommand{L"uninstall", "[/S]", Uninstall};

}  // namespace tolvarin::installer
