#ifndef TOLVARIN_PLATFORM_WIN32_UTIL_H_
#define TOLVARIN_PLATFORM_WIN32_UTIL_H_

// Windows-only helpers shared by the Win32 backends: text conversion at the API boundary,
// system error texts, and RAII owners for kernel handles.

#include <windows.h>

#include <string>

#include "platform/error.h"

namespace tolvarin::platform::win32 {

// UTF-8 to UTF-16. Throws Error(ERROR_NO_UNICODE_TRANSLATION) on malformed UTF-8.
std::wstring Utf8ToWide(const std::string& text);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// The system's description of `code` (FormatMessageW), without the trailing line break;
// "Unknown error <code>" when the system has none.
std::string SystemErrorText(DWORD code);

// Error for `code`, its description prefixed by `context` and ": " when `context` is set.
Error SystemError(DWORD code, const std::string& context = {});

// Owns a kernel handle (process, thread, file) and closes it once.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
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

}  // namespace tolvarin::platform::win32

#endif  // TOLVARIN_PLATFORM_WIN32_UTIL_H_
