#include "installer/windows/entry_view_win32.h"

#include <aclapi.h>
#include <winternl.h>

#include <memory>
#include <utility>

#include "installer/windows/security_win32.h"

namespace tolvarin::installer::win32 {
namespace {

using platform::win32::SystemError;
using platform::win32::SystemErrorText;
using platform::win32::UniqueHandle;
using platform::win32::UniqueKey;
using platform::win32::UniqueLocal;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

struct FindCloser {
  void operator()(HANDLE search) const { ::FindClose(search); }
};

}  // namespace

WString WithoutTrailingSeparators(WString path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool SameFolder(const WString& a, const WString& b) {
  const WString x = WithoutTrailingSeparators(a);
  const WString y = WithoutTrailingSeparators(b);
  return ::CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

platform::Result<std::optional<WString>> RecordedText(const wchar_t* key, const wchar_t* name) {
  const String shown = "HKLM\\" + WideToUtf8(key) + "\\" + WideToUtf8(name);
  HKEY opened = nullptr;
  LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                                   &opened);
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<WString>();
  if (status != ERROR_SUCCESS) return SystemError(status, "Cannot read " + shown);
  const UniqueKey owned(opened);
  WString value(MAX_PATH, L'\0');
  DWORD bytes = 0;
  do {
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    status = ::RegGetValueW(owned.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(),
                            &bytes);
    if (status == ERROR_MORE_DATA) value.resize(bytes / sizeof(wchar_t) + 1);
  } while (status == ERROR_MORE_DATA);
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<WString>();
  if (status != ERROR_SUCCESS) return SystemError(status, "Cannot read " + shown);
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return std::optional<WString>(std::move(value));
}

WString ParentOf(const WString& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash == WString::npos || slash + 1 == path.size()) return {};
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

UniqueHandle OpenEntry(const WString& path, DWORD access, DWORD share, DWORD& error) {
  HANDLE handle = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

DWORD OpenBeneath(HANDLE parent, const WString& name, DWORD access, DWORD share,
                  ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR descriptor,
                  UniqueHandle& opened) {
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, descriptor);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ::NtCreateFile(
      &handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
      disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  opened.reset(NT_SUCCESS(status) ? handle : nullptr);
  return NT_SUCCESS(status) ? ERROR_SUCCESS : ::RtlNtStatusToDosError(status);
}

WString NameOf(const WString& path) { return path.substr(path.find_last_of(L'\\') + 1); }

EntryFacts FactsOfFailure(DWORD error) {
  EntryFacts facts;
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    facts.kind = EntryFacts::Kind::kUnopenable;
    facts.error = static_cast<long>(error);
    facts.error_text = SystemErrorText(error);
  }
  return facts;
}

EntryFacts FactsOf(HANDLE handle, const WString& path) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag))) {
    return FactsOfFailure(::GetLastError());
  }
  DWORD attributes = tag.FileAttributes;
  const DWORD by_name = ::GetFileAttributesW(path.c_str());
  if (by_name != INVALID_FILE_ATTRIBUTES) attributes |= by_name & FILE_ATTRIBUTE_REPARSE_POINT;
  EntryFacts facts;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    facts.kind = EntryFacts::Kind::kLink;
    return facts;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error =
      ::GetSecurityInfo(handle, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor);
  const UniqueLocal<void> owned(descriptor);
  if (error != ERROR_SUCCESS) return FactsOfFailure(error);
  // A file system without access lists (FAT) has no owners: nothing there can be protected.
  if (const platform::Outcome read = ReadSecurity(descriptor, facts); !read.ok()) {
    return FactsOfFailure(static_cast<DWORD>(read.error().number()));
  }
  facts.kind =
      (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryFacts::Kind::kFolder : EntryFacts::Kind::kFile;
  AdjustFactsForTest(path, facts);
  return facts;
}

EntryFacts WindowsEntryView::Inspect(const String& path) {
  const platform::Result<WString> converted = Utf8ToWide(path);
  if (!converted.ok()) return FactsOfFailure(static_cast<DWORD>(converted.error().number()));
  const WString& wide = *converted;
  DWORD error = ERROR_SUCCESS;
  const UniqueHandle entry =
      OpenEntry(wide, READ_CONTROL | FILE_READ_ATTRIBUTES,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, error);
  if (!entry.valid()) return FactsOfFailure(error);
  return FactsOf(entry.get(), wide);
}

platform::Result<Vector<String>> WindowsEntryView::List(const String& path) {
  const platform::Result<WString> pattern = Utf8ToWide(path + "\\*");
  if (!pattern.ok()) return pattern.error();
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return SystemError(error);
  }
  const std::unique_ptr<void, FindCloser> owned(search);
  Vector<String> names;
  do {
    const WString name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(WideToUtf8(name));
  } while (::FindNextFileW(search, &found));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) return SystemError(error);
  return names;
}

}  // namespace tolvarin::installer::win32
