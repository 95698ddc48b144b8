#ifndef TOLVARIN_REGISTRY_REG_FILE_STORE_H_
#define TOLVARIN_REGISTRY_REG_FILE_STORE_H_

// The registry of a system without one: the keys and values of registry export files
// (the format `reg export` and regedit write), imported as `reg import` imports them.

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "registry/registry_api.h"

namespace tolvarin::registry {

// Where the machine's export file lies, unless kRegistryFileVariable names another.
inline constexpr char kDefaultRegistryFile[] = "/etc/tolvarin/registry.reg";
inline constexpr char kRegistryFileVariable[] = "TOLVARIN_REGISTRY_FILE";

// Number of the error raised for an export file that cannot be parsed: Windows' own
// ERROR_BADDB, "The configuration registry database is corrupt".
inline constexpr long kMalformedRegistryFileError = 1009;

// Keys and values as the registry holds them: names and string data in UTF-16, names
// compared without regard to case, subkeys enumerated in case-folded order. Lookups
// cost the same however many keys the store holds.
class RegFileStore {
 public:
  using KeyId = std::uint32_t;

  struct Value {
    std::uint32_t type = 0;
    Vector<std::uint8_t> data;  // string types as UTF-16LE, as stored
  };

  // A store holding only the predefined roots, all empty.
  RegFileStore();

  // Applies the export `contents` on top of this store, creating keys and setting,
  // deleting and deleting trees as `reg import` would. All or nothing: a file that cannot
  // be parsed fails with kMalformedRegistryFileError whose description is
  // "<file_name>, line <n>: <fault>", and the store is left as it was.
  platform::Outcome Import(std::string_view contents, const String& file_name);

  // The key of a predefined root handle (HKEY_CLASSES_ROOT 0x80000000 to
  // HKEY_CURRENT_CONFIG 0x80000005), or nullopt.
  std::optional<KeyId> Root(KeyHandle predefined) const;

  // The direct subkey of `parent` whose FoldCase'd name is `folded_name`, or nullopt.
  std::optional<KeyId> Subkey(KeyId parent, const U16String& folded_name) const;

  // Direct subkeys of `key`, in enumeration order: `index` must be below SubkeyCount.
  std::uint32_t SubkeyCount(KeyId key) const;
  const U16String& SubkeyName(KeyId key, std::uint32_t index) const;

  // The value of `key` whose FoldCase'd name is `folded_name` ("" for the default
  // value), or nullptr. Valid until the next Import.
  const Value* FindValue(KeyId key, const U16String& folded_name) const;

 private:
  struct NameHash {
    std::size_t operator()(const U16String& name) const noexcept {
      return std::hash<std::u16string_view>()(name);
    }
  };
  struct Key {
    U16String name;
    std::unordered_map<U16String, KeyId, NameHash> subkeys; // by folded name
    Vector<KeyId> ordered;                         // enumeration order
    std::unordered_map<U16String, Value, NameHash> values;  // by folded name
  };
  friend class StoreEditor;

  Vector<Key> keys_;
};

// The export file's path: the value of kRegistryFileVariable when set and not empty,
// else kDefaultRegistryFile.
String RegistryFilePath();

// The store of the export at `path`; an empty store when no file is there. Fails with
// errno's number for a file that exists but cannot be read, and with the parse error of
// RegFileStore::Import for one that cannot be parsed; both name the file.
platform::Result<RegFileStore> LoadRegFileStore(const String& path);

}  // namespace tolvarin::registry

#endif  // TOLVARIN_REGISTRY_REG_FILE_STORE_H_
