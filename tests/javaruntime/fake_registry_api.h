#ifndef TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_
#define TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "registry/registry_api.h"

namespace tolvarin::javaruntime::testing {

// An in-memory HKEY_LOCAL_MACHINE with advapi32's status codes. Key paths compare without
// regard to ASCII case; value names exactly. Subkeys enumerate in the order added.
class FakeRegistryApi final : public registry::RegistryApi {
 public:
  static constexpr std::uint32_t kRegSz = 1;
  static constexpr std::uint32_t kRegBinary = 3;
  struct Value {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };

  // Adds the key `path` below HKLM, and every missing key above it.
  void AddKey(const std::string& path) {
    if (keys_.count(Lower(path)) != 0) return;
    const size_t separator = path.rfind('\\');
    const std::string parent = separator == std::string::npos ? "" : path.substr(0, separator);
    if (!parent.empty()) AddKey(parent);
    keys_[Lower(parent)].subkeys.push_back(path.substr(parent.empty() ? 0 : separator + 1));
    keys_[Lower(path)];
  }
  void SetValue(const std::string& path, const std::string& name, Value value) {
    AddKey(path);
    keys_[Lower(path)].values[name] = std::move(value);
  }
  // A REG_SZ value, its terminating NUL included in the data.
  void SetString(const std::string& path, const std::string& name, const std::string& text) {
    SetValue(path, name, {kRegSz, std::vector<std::uint8_t>(text.c_str(), text.c_str() + text.size() + 1)});
  }

  // Keys opened and not closed yet.
  size_t open_keys() const { return open_.size(); }

  long OpenKey(registry::KeyHandle parent, const std::string& path, std::uint32_t,
               registry::KeyHandle* opened) override {
    std::string full = parent == registry::kHkeyLocalMachine ? "" : open_.at(parent);
    if (!path.empty()) full += (full.empty() ? "" : "\\") + Lower(path);
    if (keys_.count(full) == 0) return registry::kErrorFileNotFound;
    *opened = next_handle_++;
    open_[*opened] = full;
    return registry::kErrorSuccess;
  }
  long EnumKey(registry::KeyHandle key, std::uint32_t index, char* name,
               std::uint32_t name_size) override {
    const std::vector<std::string>& subkeys = keys_.at(open_.at(key)).subkeys;
    if (index >= subkeys.size()) return registry::kErrorNoMoreItems;
    if (subkeys[index].size() >= name_size) return registry::kErrorMoreData;
    std::strcpy(name, subkeys[index].c_str());
    return registry::kErrorSuccess;
  }
  long QueryValue(registry::KeyHandle key, const std::string& value_name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override {
    const std::map<std::string, Value>& values = keys_.at(open_.at(key)).values;
    const auto found = values.find(value_name);
    if (found == values.end()) return registry::kErrorFileNotFound;
    const std::vector<std::uint8_t>& bytes = found->second.data;
    const bool fits = bytes.size() <= *size;
    *type = found->second.type;
    *size = static_cast<std::uint32_t>(bytes.size());
    if (!fits) return registry::kErrorMoreData;
    std::copy(bytes.begin(), bytes.end(), data);
    return registry::kErrorSuccess;
  }
  void CloseKey(registry::KeyHandle key) override { open_.erase(key); }
  std::string Utf8ToAnsi(const std::string& utf8) const override { return utf8; }
  std::string AnsiToUtf8(const std::string& ansi) const override { return ansi; }

 private:
  struct Key {
    std::vector<std::string> subkeys;
    std::map<std::string, Value> values;
  };
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

  std::map<std::string, Key> keys_;  // by lower-case path below HKLM; "" is HKLM itself
  std::map<registry::KeyHandle, std::string> open_;
  registry::KeyHandle next_handle_ = 0x1000;
};

}  // namespace tolvarin::javaruntime::testing

#endif  // TOLVARIN_TESTS_JAVARUNTIME_FAKE_REGISTRY_API_H_
