#ifndef TOLVARIN_REGISTRY_REG_FILE_REGISTRY_API_H_
#define TOLVARIN_REGISTRY_REG_FILE_REGISTRY_API_H_

// The four registry calls answered from a RegFileStore, with the statuses, sizes and
// ANSI (Windows-1252) conversions of advapi32's narrow calls as Wine 8 gives them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/text.h"
#include "platform/vector.h"
#include "registry/reg_file_store.h"
#include "registry/registry_api.h"

namespace tolvarin::registry {

// Read-only: keys open with any access; nothing is ever written to the store. Holds
// its own table of open handles; not for use from several threads at once.
//   OpenKey:    0; 2 for a missing key; 6 for an unknown handle; 87 without an out
//               handle or for a path holding NUL; 161 for a path starting with '\'.
//               A predefined root with an empty path yields the root's own handle.
//   EnumKey:    0; 259 past the last subkey; 234, buffer untouched, when the name and
//               its NUL do not fit.
//   QueryValue: 0; 2 for a missing value (type set to 0); 234 with the type and the
//               needed size. String types come back converted to ANSI, with Windows'
//               best fit, their size counting the stored terminator; a NUL is added,
//               uncounted, when the data has none and the buffer has room.
//   Names and string data leave in ANSI with best fit; names entering are converted
//   without it, and Utf8ToAnsi converts without it, so that a path never names a
//   look-alike key.
class RegFileRegistryApi final : public RegistryApi {
 public:
  explicit RegFileRegistryApi(std::shared_ptr<const RegFileStore> store);

  long OpenKey(KeyHandle parent, const String& ansi_path, std::uint32_t access,
               KeyHandle* opened) override;
  long EnumKey(KeyHandle key, std::uint32_t index, char* name, std::uint32_t name_size) override;
  long QueryValue(KeyHandle key, const String& ansi_value_name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override;
  void CloseKey(KeyHandle key) override;

  String Utf8ToAnsi(const String& utf8) const override;
  String AnsiToUtf8(const String& ansi) const override;

 private:
  std::optional<RegFileStore::KeyId> Resolve(KeyHandle key) const;

  std::shared_ptr<const RegFileStore> store_;
  Vector<std::optional<RegFileStore::KeyId>> handles_;  // slot per handle value
  Vector<std::size_t> free_slots_;
};

}  // namespace tolvarin::registry

#endif  // TOLVARIN_REGISTRY_REG_FILE_REGISTRY_API_H_
