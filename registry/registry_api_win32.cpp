#include <windows.h>

#include <memory>

#include "platform/text.h"
#include "platform/win32_util.h"
#include "registry/registry_api.h"

namespace tolvarin::registry {
namespace {

// The predefined roots are 32-bit values that HKEY carries sign-extended: on 64-bit
// Windows HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002, not 0x80000002.
HKEY ToHkey(KeyHandle key) {
  if (key >= 0x80000000u && key <= 0x8000000Fu) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(key)));
  }
  return reinterpret_cast<HKEY>(key);
}

bool HasNul(const String& text) { return text.find('\0') != String::npos; }

// advapi32's narrow registry calls; text in the system's ANSI code page.
class Win32RegistryApi final : public RegistryApi {
 public:
  long OpenKey(KeyHandle parent, const String& ansi_path, std::uint32_t access,
               KeyHandle* opened) override {
    // A NUL would silently shorten the path to another key.
    if (opened == nullptr || HasNul(ansi_path)) return ERROR_INVALID_PARAMETER;
    HKEY key = nullptr;
    const LONG status = ::RegOpenKeyExA(ToHkey(parent), ansi_path.c_str(), 0, access, &key);
    if (status == ERROR_SUCCESS) *opened = reinterpret_cast<KeyHandle>(key);
    return status;
  }

  long EnumKey(KeyHandle key, std::uint32_t index, char* name, std::uint32_t name_size) override {
    return ::RegEnumKeyA(ToHkey(key), index, name, name_size);
  }

  long QueryValue(KeyHandle key, const String& ansi_value_name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override {
    if (HasNul(ansi_value_name)) return ERROR_INVALID_PARAMETER;
    DWORD query_type = type != nullptr ? *type : 0;
    DWORD query_size = size != nullptr ? *size : 0;
    const LONG status = ::RegQueryValueExA(ToHkey(key), ansi_value_name.c_str(), nullptr,
                                           type != nullptr ? &query_type : nullptr, data,
                                           size != nullptr ? &query_size : nullptr);
    if (type != nullptr) *type = query_type;
    if (size != nullptr) *size = query_size;
    return status;
  }

  void CloseKey(KeyHandle key) override { ::RegCloseKey(ToHkey(key)); }

  String Utf8ToAnsi(const String& utf8) const override {
    if (utf8.empty()) return {};
    // Without MB_ERR_INVALID_CHARS malformed UTF-8 becomes U+FFFD instead of failing.
    const int wide_length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                  static_cast<int>(utf8.size()), nullptr, 0);
    WString wide(static_cast<size_t>(wide_length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          wide_length);
    // No best fit: a path must not quietly name a different key ("Ł" read as "L").
    const bool utf8_code_page = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8_code_page ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* replacement = utf8_code_page ? nullptr : "?";
    const int length = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wide_length, nullptr, 0,
                                             replacement, nullptr);
    String ansi(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wide_length, ansi.data(), length,
                          replacement, nullptr);
    return ansi;
  }

  String AnsiToUtf8(const String& ansi) const override {
    if (ansi.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    WString wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                          length);
    return platform::win32::WideToUtf8(wide);
  }
};

}  // namespace

platform::Result<std::unique_ptr<RegistryApi>> MakeNativeRegistryApi() {
  return std::unique_ptr<RegistryApi>(std::make_unique<Win32RegistryApi>());
}

}  // namespace tolvarin::registry
