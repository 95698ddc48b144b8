#ifndef TOLVARIN_REGISTRY_REGISTRY_H_
#define TOLVARIN_REGISTRY_REGISTRY_H_

// MRegistry: read-only access to registry keys, their subkeys and typed values.

#include <cstdint>
#include <optional>
#include <variant>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "registry/registry_api.h"

namespace tolvarin::registry {

// Raised by ReadRegistryValue for a value of no readable type (also a missing value).
inline constexpr long kUnsupportedValueTypeError = 1001;
inline constexpr char kUnsupportedValueTypeText[] = "Unsupported value type";

// A registry value: empty, text (UTF-8), a signed 32-bit integer or bytes.
class Variant {
 public:
  using Bytes = Vector<std::uint8_t>;

  Variant() = default;
  explicit Variant(String text) : value_(std::move(text)) {}
  explicit Variant(std::int32_t number) : value_(number) {}
  explicit Variant(Bytes bytes) : value_(std::move(bytes)) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  const String* text() const { return std::get_if<String>(&value_); }
  const std::int32_t* number() const { return std::get_if<std::int32_t>(&value_); }

  // The value taken as text: empty gives "", an integer its decimal digits. Fails with
  // kTypeMismatchError "Type mismatch" for bytes.
  platform::Result<String> AsText() const;

  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  std::variant<std::monostate, String, std::int32_t, Bytes> value_;
};

// Subkey names in enumeration order, each also found by name without regard to case
// (compared as the registry compares names).
class SubkeyList {
 public:
  // Appends `name`. Fails with 457 when a name equal to it without regard to case is
  // already in the list; the list is then unchanged.
  platform::Outcome Add(const String& name);

  // True when a name equal to `name` without regard to case is in the list.
  bool Contains(const String& name) const;
  Vector<String>::const_iterator begin() const { return names_.begin(); }
  Vector<String>::const_iterator end() const { return names_.end(); }

 private:
  Vector<String> names_;
  Vector<String> keys_;  // the names case-folded, sorted
};

// True when `path` under `root` can be opened for reading. Never throws; closes what it
// opened.
bool RegistryKeyExists(RegistryApi& api, KeyHandle root, const String& path);

// The direct subkeys of `path` under `root` (of `root` itself when `path` is empty), in
// the registry's enumeration order; empty when the key cannot be opened. Never closes
// `root`. Fails only with the duplicate-name error of SubkeyList::Add.
platform::Result<SubkeyList> ListRegistrySubkeys(RegistryApi& api, KeyHandle root,
                                                 const String& path);

// The value `value_name` of `path` under `root`: the default (or empty when none is
// given) when the key cannot be opened, otherwise the value by its type: REG_SZ and
// REG_EXPAND_SZ as text without the one terminating NUL (when there is one),
// REG_MULTI_SZ as text without up to two (NULs between the strings stay), REG_DWORD as
// a little-endian signed integer, REG_BINARY as its bytes. Values over 1024 bytes take
// a second query; one that keeps growing between queries is given up after a few.
// Fails with kUnsupportedValueTypeError, after closing the key, for a value that is
// missing, unreadable or of any other type. Never reads past what the last successful
// query delivered.
platform::Result<Variant> ReadRegistryValue(RegistryApi& api, KeyHandle root, const String& path,
                          const String& value_name,
                          const std::optional<Variant>& default_value = std::nullopt);

}  // namespace tolvarin::registry

#endif  // TOLVARIN_REGISTRY_REGISTRY_H_
