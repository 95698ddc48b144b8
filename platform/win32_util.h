#ifndef TOLVARIN_PLATFORM_WIN32_UTIL_H_
#define TOLVARIN_PLATFORM_WIN32_UTIL_H_

// Windows-only helpers shared by the Win32 backends: text conversion at the API boundary,
// system error texts, RAII owners for kernel handles and registry keys, and where DLLs are loaded
// from.

#include <windows.h>

#include <memory>
#include <type_traits>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::platform::win32 {

// UTF-8 to UTF-16. Fails with ERROR_NO_UNICODE_TRANSLATION on malformed UTF-8.
Result<WString> Utf8ToWide(const String& text);

// UTF-8 to UTF-16 for what is shown or logged: a malformed sequence becomes U+FFFD rather than
// failing, so that no message is lost over one.
WString Utf8ToWideShown(const String& text);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
String WideToUtf8(const WString& text);

// `value` in decimal digits, as std::to_wstring writes it, which would bring the C runtime's
// printf into the program.
WString DecimalText(long long value);

// The system's description of `code` (FormatMessageW), without the trailing line break;
// "Unknown error <code>" when the system has none.
String SystemErrorText(DWORD code);

// Error for `code`, its description prefixed by `context` and ": " when `context` is set.
Error SystemError(DWORD code, const String& context = {});

// Makes the DLLs the system loads on this process's behalf (the imaging codecs, the themes)
// come from System32 only, never from the current directory or the program's own folder:
// with SetDefaultDllDirectories where the system has it (Windows 8, or 7 with KB2533623),
// a setting children do not inherit; elsewhere with SetDllDirectoryW(L""), which they
// would. Call first thing, before anything loads a DLL.
void RestrictDllSearch();

// For its lifetime, lifts what RestrictDllSearch set that a child would inherit, so that a
// process started meanwhile gets the system's own DLL search order.
class InheritedDllSearchLifted {
 public:
  InheritedDllSearchLifted();
  InheritedDllSearchLifted(const InheritedDllSearchLifted&) = delete;
  InheritedDllSearchLifted& operator=(const InheritedDllSearchLifted&) = delete;
  ~InheritedDllSearchLifted();

 private:
  bool lifted_;
};

// Owns a kernel handle (process, thread, file) and closes it once.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Frees, once, memory the system allocated with LocalAlloc (security descriptors, SID texts).
struct LocalFreeDeleter {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreeDeleter>;

// Closes, once, a registry key this process opened.
struct KeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace tolvarin::platform::win32

#endif  // TOLVARIN_PLATFORM_WIN32_UTIL_H_
