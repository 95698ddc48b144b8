#include "installer/msi/package_win32.h"

#include "installer/commands/helper_command.h"
#include "installer/windows/entry_view_win32.h"
#include "platform/win32_util.h"

namespace tolvarin::installer::msi {

using platform::win32::WideToUtf8;

void Log(MSIHANDLE install, INSTALLMESSAGE kind, const WString& text) {
  PMSIHANDLE record = ::MsiCreateRecord(0);
  ::MsiRecordSetStringW(record, 0, text.c_str());
  ::MsiProcessMessage(install, kind, record);
}

WString Property(MSIHANDLE install, const wchar_t* name) {
  return MsiText([&](wchar_t* text, DWORD* size) {
    return ::MsiGetPropertyW(install, name, text, size);
  });
}

void SayWide(const WString& line) { Say(WideToUtf8(line)); }

platform::Result<std::optional<WString>> RecordedFolder() {
  return win32::RecordedText(kRecordKey, kRecordValue);
}

WString Formatted(MSIHANDLE install, const WString& target) {
  PMSIHANDLE record = ::MsiCreateRecord(0);
  ::MsiRecordSetStringW(record, 0, target.c_str());
  return MsiText([&](wchar_t* text, DWORD* size) {
    return ::MsiFormatRecordW(install, record, text, size);
  });
}

}  // namespace tolvarin::installer::msi
