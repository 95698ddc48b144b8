#ifndef TOLVARIN_REGISTRY_REGISTRY_API_H_
#define TOLVARIN_REGISTRY_REGISTRY_API_H_

#include <cstdint>
#include <memory>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::registry {

// Names an open registry key, or one of the predefined roots by its numeric value.
using KeyHandle = std::uintptr_t;

inline constexpr KeyHandle kHkeyLocalMachine = 0x80000002;
inline constexpr std::uint32_t kKeyRead = 0x20019;
// The value types the launcher reads; others are reported as unsupported.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;

// The four registry calls the registry operations are written on, with the narrow
// (ANSI code page) text and the status codes of advapi32's RegOpenKeyExA, RegEnumKeyA,
// RegQueryValueExA and RegCloseKey. Callers rely only on: status 0 means success; open
// with status 0 yields a handle that must be closed; enumeration status 0 leaves a
// NUL-terminated name in the buffer; query status 0 writes type, data and size, status
// 234 writes type and the needed size; any other status leaves nothing usable.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  virtual long OpenKey(KeyHandle parent, const String& ansi_path, std::uint32_t access,
                       KeyHandle* opened) = 0;
  virtual long EnumKey(KeyHandle key, std::uint32_t index, char* name, std::uint32_t name_size) = 0;
  virtual long QueryValue(KeyHandle key, const String& ansi_value_name, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* size) = 0;
  virtual void CloseKey(KeyHandle key) = 0;

  // Conversions between the program's UTF-8 and this registry's ANSI code page.
  // Characters the code page lacks become '?'. Never throw.
  virtual String Utf8ToAnsi(const String& utf8) const = 0;
  virtual String AnsiToUtf8(const String& ansi) const = 0;
};

// The registry of this platform: advapi32 on Windows; on POSIX a read-only store loaded
// from a registry export file (see registry/reg_file_store.h for where it is found).
// Fails naming the file, line and fault when the export cannot be read or parsed.
platform::Result<std::unique_ptr<RegistryApi>> MakeNativeRegistryApi();

}  // namespace tolvarin::registry

#endif  // TOLVARIN_REGISTRY_REGISTRY_API_H_
