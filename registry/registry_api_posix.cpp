#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/text.h"
#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#include "registry/registry_api.h"
#include "registry/text_codec.h"

namespace tolvarin::registry {
namespace {

constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorBadPathname = 161;

// Opened handles are small multiples of four, as Windows hands them out, well clear of
// the predefined roots.
constexpr KeyHandle kFirstHandle = 0x100;
constexpr KeyHandle kHandleStep = 4;

bool IsStringType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

}  // namespace

RegFileRegistryApi::RegFileRegistryApi(std::shared_ptr<const RegFileStore> store)
    : store_(std::move(store)) {}

std::optional<RegFileStore::KeyId> RegFileRegistryApi::Resolve(KeyHandle key) const {
  if (const auto root = store_->Root(key)) return root;
  if (key < kFirstHandle || (key - kFirstHandle) % kHandleStep != 0) return std::nullopt;
  const std::size_t slot = (key - kFirstHandle) / kHandleStep;
  return slot < handles_.size() ? handles_[slot] : std::nullopt;
}

long RegFileRegistryApi::OpenKey(KeyHandle parent, const String& ansi_path,
                                 std::uint32_t /*access*/, KeyHandle* opened) {
  if (opened == nullptr || ansi_path.find('\0') != String::npos) {
    return kErrorInvalidParameter;
  }
  std::optional<RegFileStore::KeyId> key = Resolve(parent);
  if (!key) return kErrorInvalidHandle;
  // A predefined root opened with no path is the root itself, which needs no closing.
  if (ansi_path.empty() && store_->Root(parent)) {
    *opened = parent;
    return kErrorSuccess;
  }
  const U16String path = FoldCase(Windows1252ToUtf16(ansi_path));
  if (!path.empty() && path.front() == u'\\') return kErrorBadPathname;
  // Repeated and trailing backslashes separate nothing, as in the registry itself.
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    if (end > start) {
      key = store_->Subkey(*key, path.substr(start, end - start));
      if (!key) return kErrorFileNotFound;
    }
    start = end + 1;
  }
  std::size_t slot = handles_.size();
  if (!free_slots_.empty()) {
    slot = free_slots_.back();
    free_slots_.pop_back();
    handles_[slot] = key;
  } else {
    handles_.push_back(key);
  }
  *opened = kFirstHandle + slot * kHandleStep;
  return kErrorSuccess;
}

long RegFileRegistryApi::EnumKey(KeyHandle key, std::uint32_t index, char* name,
                                 std::uint32_t name_size) {
  const std::optional<RegFileStore::KeyId> resolved = Resolve(key);
  if (!resolved) return kErrorInvalidHandle;
  if (name == nullptr) return kErrorInvalidParameter;
  if (index >= store_->SubkeyCount(*resolved)) return kErrorNoMoreItems;
  const String ansi = Utf16ToWindows1252BestFit(store_->SubkeyName(*resolved, index));
  if (ansi.size() >= name_size) return kErrorMoreData;
  std::memcpy(name, ansi.data(), ansi.size());
  name[ansi.size()] = '\0';
  return kErrorSuccess;
}

long RegFileRegistryApi::QueryValue(KeyHandle key, const String& ansi_value_name,
                                    std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* size) {
  const std::optional<RegFileStore::KeyId> resolved = Resolve(key);
  if (!resolved) return kErrorInvalidHandle;
  if ((data != nullptr && size == nullptr) || ansi_value_name.find('\0') != String::npos) {
    return kErrorInvalidParameter;
  }
  const std::uint32_t capacity = size != nullptr ? *size : 0;
  if (data == nullptr && size != nullptr) *size = 0;
  if (type != nullptr) *type = 0;
  const RegFileStore::Value* value =
      store_->FindValue(*resolved, FoldCase(Windows1252ToUtf16(ansi_value_name)));
  if (value == nullptr) return kErrorFileNotFound;

  String converted;
  const std::uint8_t* bytes = value->data.data();
  std::size_t length = value->data.size();
  if (IsStringType(value->type)) {
    U16String text(value->data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(value->data[2 * i] | (value->data[2 * i + 1] << 8));
    }
    converted = Utf16ToWindows1252BestFit(text);
    bytes = reinterpret_cast<const std::uint8_t*>(converted.data());
    length = converted.size();
  }
  long status = kErrorSuccess;
  if (data != nullptr) {
    if (length > capacity) {
      status = kErrorMoreData;
    } else {
      std::copy(bytes, bytes + length, data);
      if (IsStringType(value->type) && length > 0 && length < capacity && data[length - 1] != 0) {
        data[length] = 0;
      }
    }
  }
  if (type != nullptr) *type = value->type;
  if (size != nullptr) *size = static_cast<std::uint32_t>(length);
  return status;
}

void RegFileRegistryApi::CloseKey(KeyHandle key) {
  if (store_->Root(key) || key < kFirstHandle || (key - kFirstHandle) % kHandleStep != 0) return;
  const std::size_t slot = (key - kFirstHandle) / kHandleStep;
  if (slot >= handles_.size() || !handles_[slot]) return;
  handles_[slot].reset();
  free_slots_.push_back(slot);
}

String RegFileRegistryApi::Utf8ToAnsi(const String& utf8) const {
  return Utf16ToWindows1252(Utf8ToUtf16(utf8));
}

String RegFileRegistryApi::AnsiToUtf8(const String& ansi) const {
  return Utf16ToUtf8(Windows1252ToUtf16(ansi));
}

platform::Result<std::unique_ptr<RegistryApi>> MakeNativeRegistryApi() {
  // Loaded on first use and kept for the life of the process: the export file is read
  // once; a failed load is tried again on the next call.
  static std::shared_ptr<const RegFileStore> store;
  if (store == nullptr) {
    platform::Result<RegFileStore> loaded = LoadRegFileStore(RegistryFilePath());
    if (!loaded.ok()) return loaded.error();
    store = std::make_shared<const RegFileStore>(std::move(loaded).value());
  }
  return std::unique_ptr<RegistryApi>(std::make_unique<RegFileRegistryApi>(store));
}

}  // namespace tolvarin::registry
