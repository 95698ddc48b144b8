#ifndef TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_
#define TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "registry/registry_api.h"

namespace tolvarin::javaruntime::testing {

// An in-memory registry under HKEY_LOCAL_MACHINE with the status codes of advapi32.
// Names compare without regard to ASCII case; subkeys enumerate in the order added.
class FakeRegistryApi final : public registry::RegistryApi {
 public:
  static constexpr std::uint32_t kRegSz = 1;
  static constexpr std::uint32_t kRegBinary = 3;

  struct Value {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };

  // Adds the key `path` (below HKLM) and every missing key above it.
  void AddKey(const std::string& path);
  // Sets a REG_SZ value, NUL included in its data; adds the key as needed.
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);

  // Keys opened and not closed yet.
  size_t open_keys() const { return open_.size(); }

  long OpenKey(registry::KeyHandle parent, const std::string& ansi_path, std::uint32_t access,
               registry::KeyHandle* opened) override;
  long EnumKey(registry::KeyHandle key, std::uint32_t index, char* name,
               std::uint32_t name_size) override;
  long QueryValue(registry::KeyHandle key, const std::string& ansi_value_name,
                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;
  void CloseKey(registry::KeyHandle key) override;
  std::string Utf8ToAnsi(const std::string& utf8) const override { return utf8; }
  std::string AnsiToUtf8(const std::string& ansi) const override { return ansi; }

 private:
  struct Key {
    std::string path;  // as added, below HKLM
    std::map<std::string, Value> values;  // by lower-case name
  };

  Key* Find(const std::string& path);
  // The path of `handle` below HKLM ("" for HKLM itself); false for an unknown handle.
  bool PathOf(registry::KeyHandle handle, std::string* path) const;

  std::vector<Key> keys_;
  std::map<registry::KeyHandle, std::string> open_;
  registry::KeyHandle next_handle_ = 0x1000;
};

}  // namespace tolvarin::javaruntime::testing

#endif  // TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_
