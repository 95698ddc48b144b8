#include "tests/javaruntime/fake_registry_api.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace tolvarin::javaruntime::testing {
namespace {

constexpr long kErrorInvalidHandle = 6;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

void FakeRegistryApi::AddKey(const std::string& path) {
  if (Find(path) != nullptr) return;
  const size_t separator = path.rfind('\\');
  if (separator != std::string::npos) AddKey(path.substr(0, separator));
  keys_.push_back(Key{path, {}});
}

void FakeRegistryApi::SetString(const std::string& path, const std::string& name,
                                const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(path, name, kRegSz, std::move(data));
}

void FakeRegistryApi::SetValue(const std::string& path, const std::string& name,
                               std::uint32_t type, std::vector<std::uint8_t> data) {
  AddKey(path);
  Find(path)->values[Lower(name)] = Value{type, std::move(data)};
}

FakeRegistryApi::Key* FakeRegistryApi::Find(const std::string& path) {
  const std::string wanted = Lower(path);
  for (Key& key : keys_) {
    if (Lower(key.path) == wanted) return &key;
  }
  return nullptr;
}

bool FakeRegistryApi::PathOf(registry::KeyHandle handle, std::string* path) const {
  if (handle == registry::kHkeyLocalMachine) {
    path->clear();
    return true;
  }
  const auto found = open_.find(handle);
  if (found == open_.end()) return false;
  *path = found->second;
  return true;
}

long FakeRegistryApi::OpenKey(registry::KeyHandle parent, const std::string& ansi_path,
                              std::uint32_t /*access*/, registry::KeyHandle* opened) {
  std::string path;
  if (!PathOf(parent, &path)) return kErrorInvalidHandle;
  if (!ansi_path.empty()) path += (path.empty() ? "" : "\\") + ansi_path;
  const Key* key = Find(path);
  if (key == nullptr) return registry::kErrorFileNotFound;
  *opened = next_handle_++;
  open_[*opened] = key->path;
  return registry::kErrorSuccess;
}

long FakeRegistryApi::EnumKey(registry::KeyHandle key, std::uint32_t index, char* name,
                              std::uint32_t name_size) {
  std::string path;
  if (!PathOf(key, &path)) return kErrorInvalidHandle;
  const std::string prefix = Lower(path.empty() ? path : path + "\\");
  std::uint32_t position = 0;
  for (const Key& candidate : keys_) {
    const std::string lower = Lower(candidate.path);
    if (lower.compare(0, prefix.size(), prefix) != 0 || lower.size() == prefix.size() ||
        lower.find('\\', prefix.size()) != std::string::npos) {
      continue;
    }
    if (position++ != index) continue;
    const std::string child = candidate.path.substr(prefix.size());
    if (child.size() + 1 > name_size) return registry::kErrorMoreData;
    std::memcpy(name, child.c_str(), child.size() + 1);
    return registry::kErrorSuccess;
  }
  return registry::kErrorNoMoreItems;
}

long FakeRegistryApi::QueryValue(registry::KeyHandle key, const std::string& ansi_value_name,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  std::string path;
  if (!PathOf(key, &path)) return kErrorInvalidHandle;
  const Key* found_key = Find(path);
  const auto found = found_key->values.find(Lower(ansi_value_name));
  if (found == found_key->values.end()) return registry::kErrorFileNotFound;
  const Value& value = found->second;
  *type = value.type;
  const bool fits = value.data.size() <= *size;
  *size = static_cast<std::uint32_t>(value.data.size());
  if (!fits) return registry::kErrorMoreData;
  std::copy(value.data.begin(), value.data.end(), data);
  return registry::kErrorSuccess;
}

void FakeRegistryApi::CloseKey(registry::KeyHandle key) { open_.erase(key); }

}  // namespace tolvarin::javaruntime::testing
