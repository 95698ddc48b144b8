#include "platform/win32_util.h"

#include "platform/text.h"

namespace tolvarin::platform::win32 {
namespace {

// Set when RestrictDllSearch had to use SetDllDirectoryW, whose setting children inherit.
bool dll_directory_restricted = false;

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const FARPROC found =
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  const auto set_default =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(found));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  dll_directory_restricted = ::SetDllDirectoryW(L"") != FALSE;
}

InheritedDllSearchLifted::InheritedDllSearchLifted()
    : lifted_(dll_directory_restricted && ::SetDllDirectoryW(nullptr)) {}

InheritedDllSearchLifted::~InheritedDllSearchLifted() {
  if (lifted_) ::SetDllDirectoryW(L"");
}

namespace {

// `text` in UTF-16 with `flags`; false, with the system's reason in `error`, when it fails.
bool ConvertUtf8(const String& text, DWORD flags, WString& wide, DWORD& error) {
  wide.clear();
  if (text.empty()) return true;
  const int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    error = ::GetLastError();
    return false;
  }
  wide.resize(static_cast<size_t>(length));
  ::MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return true;
}

}  // namespace

Result<WString> Utf8ToWide(const String& text) {
  WString wide;
  DWORD error = ERROR_SUCCESS;
  if (!ConvertUtf8(text, MB_ERR_INVALID_CHARS, wide, error)) {
    return SystemError(error, "Invalid UTF-8 text");
  }
  return wide;
}

WString Utf8ToWideShown(const String& text) {
  WString wide;
  DWORD error = ERROR_SUCCESS;
  ConvertUtf8(text, 0, wide, error);
  return wide;
}

String WideToUtf8(const WString& text) {
  if (text.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
  String narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

WString DecimalText(long long value) {
  const String digits = DecimalString(value);
  return WString(digits.begin(), digits.end());
}

String SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return "Unknown error " + DecimalString(code);
  WString text(buffer, length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return WideToUtf8(text);
}

Error SystemError(DWORD code, const String& context) {
  const String text = SystemErrorText(code);
  return Error(static_cast<long>(code), context.empty() ? text : context + ": " + text);
}

}  // namespace tolvarin::platform::win32
