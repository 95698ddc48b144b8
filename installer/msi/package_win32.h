#ifndef TOLVARIN_INSTALLER_MSI_PACKAGE_WIN32_H_
#define TOLVARIN_INSTALLER_MSI_PACKAGE_WIN32_H_

// What the package's custom actions share: the places the package knows, and Windows
// Installer's log and properties.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <optional>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::installer::msi {

// The launcher reads its support files from these, whatever the package's properties say.
inline constexpr wchar_t kSupportRoot[] = L"C:\\quarvel";
inline constexpr wchar_t kSupportFolder[] = L"C:\\quarvel\\GsmModemJar";

// Where the package records its install folder (tolvarin.wxs, InstallFolderValue), in the
// 32-bit view that the package writes to. Only administrators and SYSTEM can change it.
inline constexpr wchar_t kRecordKey[] = L"Software\\Quarvel\\Tolvarin";
inline constexpr wchar_t kRecordValue[] = L"InstallFolder";
inline constexpr wchar_t kRecordShown[] = L"HKLM\\Software\\Quarvel\\Tolvarin, InstallFolder";
inline constexpr REGSAM kView = KEY_WOW64_32KEY;

// Writes `text` into the install's log as a message of `kind`.
void Log(MSIHANDLE install, INSTALLMESSAGE kind, const WString& text);

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

// The value of the property `name`; empty when it has none or cannot be read.
WString Property(MSIHANDLE install, const wchar_t* name);

// `target` formatted as Windows Installer formats a property it sets.
WString Formatted(MSIHANDLE install, const WString& target);

// Says `line` as the helper's commands do: into the log while an action runs them.
void SayWide(const WString& line);

// The install folder the package recorded, read by this process itself; none when Tolvarin is
// not installed. Fails when it cannot be read.
platform::Result<std::optional<WString>> RecordedFolder();

}  // namespace tolvarin::installer::msi

#endif  // TOLVARIN_INSTALLER_MSI_PACKAGE_WIN32_H_
