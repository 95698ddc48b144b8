#include "platform/win32_util.h"

#include <string>

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

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    const DWORD error = ::GetLastError();
    throw SystemError(error, "Invalid UTF-8 text");
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), length);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

std::wstring DecimalText(long long value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return "Unknown error " + std::to_string(code);
  std::wstring text(buffer, length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return WideToUtf8(text);
}

Error SystemError(DWORD code, const std::string& context) {
  const std::string text = SystemErrorText(code);
  return Error(static_cast<long>(code), context.empty() ? text : context + ": " + text);
}

}  // namespace tolvarin::platform::win32
