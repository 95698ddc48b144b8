#include "registry/registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/error.h"
#include "registry/text_codec.h"

namespace tolvarin::registry {
namespace {

constexpr std::uint32_t kEnumBufferSize = 260;
constexpr std::uint32_t kFirstValueBufferSize = 1024;
// A value that keeps growing between queries is given up after this many of them.
constexpr int kMaxValueQueries = 4;

constexpr long kDuplicateKeyError = 457;
constexpr char kDuplicateKeyText[] =
    "This key is already associated with an element of this collection";

String CollectionKey(const String& name) {
  return Utf16ToUtf8(FoldCase(Utf8ToUtf16(name)));
}

platform::Error UnsupportedValueType() {
  return platform::Error(kUnsupportedValueTypeError, kUnsupportedValueTypeText);
}

// A key this module opened: closed exactly once, on whichever path leaves the operation.
class OpenedKey {
 public:
  OpenedKey(RegistryApi& api, KeyHandle key) : api_(api), key_(key) {}
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() { Close(); }

  KeyHandle get() const { return key_; }
  void Close() {
    if (open_) {
      open_ = false;
      api_.CloseKey(key_);
    }
  }

 private:
  RegistryApi& api_;
  KeyHandle key_;
  bool open_ = true;
};

// Opens `path` under `root` for reading into `key`; false when it cannot be opened.
bool OpenForReading(RegistryApi& api, KeyHandle root, const String& path,
                    std::optional<OpenedKey>& key) {
  KeyHandle opened = 0;
  if (api.OpenKey(root, api.Utf8ToAnsi(path), kKeyRead, &opened) != kErrorSuccess) return false;
  key.emplace(api, opened);
  return true;
}

// `data` without up to `count` trailing NULs: the terminators the registry stores with
// string data are dropped only where they are present.
String WithoutTerminators(const Vector<std::uint8_t>& data, int count) {
  size_t length = data.size();
  for (int k = 0; k < count && length > 0 && data[length - 1] == 0; ++k) --length;
  return String(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
}

std::int32_t LittleEndianInt32(const Vector<std::uint8_t>& data) {
  std::uint32_t bits = 0;
  for (size_t k = 0; k < std::min<size_t>(data.size(), 4); ++k) bits |= std::uint32_t{data[k]} << (8 * k);
  std::int32_t value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

platform::Result<String> Variant::AsText() const {
  if (IsEmpty()) return String();
  if (const String* value = text()) return *value;
  if (const std::int32_t* value = number()) return DecimalString(*value);
  return platform::Error(platform::kTypeMismatchError, platform::kTypeMismatchText);
}

platform::Outcome SubkeyList::Add(const String& name) {
  String key = CollectionKey(name);
  const String* at = std::lower_bound(keys_.begin(), keys_.end(), key);
  if (at != keys_.end() && *at == key) {
    return platform::Error(kDuplicateKeyError, kDuplicateKeyText);
  }
  keys_.insert(at, std::move(key));
  names_.push_back(name);
  return {};
}

bool SubkeyList::Contains(const String& name) const {
  return std::binary_search(keys_.begin(), keys_.end(), CollectionKey(name));
}

bool RegistryKeyExists(RegistryApi& api, KeyHandle root, const String& path) {
  std::optional<OpenedKey> key;
  return OpenForReading(api, root, path, key);
}

platform::Result<SubkeyList> ListRegistrySubkeys(RegistryApi& api, KeyHandle root,
                                                 const String& path) {
  SubkeyList subkeys;
  std::optional<OpenedKey> opened;
  KeyHandle key = root;
  if (!path.empty()) {
    if (!OpenForReading(api, root, path, opened)) return subkeys;
    key = opened->get();
  }
  char name[kEnumBufferSize];
  for (std::uint32_t index = 0;; ++index) {
    std::memset(name, ' ', sizeof name);
    if (api.EnumKey(key, index, name, kEnumBufferSize) != kErrorSuccess) break;
    const void* nul = std::memchr(name, '\0', sizeof name);
    const size_t length = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - name)
                                         : sizeof name;
    if (platform::Outcome added = subkeys.Add(api.AnsiToUtf8(String(name, length))); !added.ok()) {
      return added.error();
    }
  }
  return subkeys;
}

platform::Result<Variant> ReadRegistryValue(RegistryApi& api, KeyHandle root,
                                            const String& path, const String& value_name,
                                            const std::optional<Variant>& default_value) {
  std::optional<OpenedKey> key;
  if (!OpenForReading(api, root, path, key)) return default_value.value_or(Variant());

  // Type and size mean something only after status 0 or 234; a value that grew between
  // two queries is asked for again with its new size, a bounded number of times.
  const String ansi_name = api.Utf8ToAnsi(value_name);
  Vector<std::uint8_t> data(kFirstValueBufferSize);
  std::uint32_t type = 0;
  std::uint32_t size = kFirstValueBufferSize;
  long status = api.QueryValue(key->get(), ansi_name, &type, data.data(), &size);
  for (int query = 1; status == kErrorMoreData && query < kMaxValueQueries; ++query) {
    data.assign(std::max<std::uint32_t>(size, 1), 0);
    type = 0;
    status = api.QueryValue(key->get(), ansi_name, &type, data.data(), &size);
  }
  if (status != kErrorSuccess) {
    key->Close();
    return UnsupportedValueType();
  }
  data.resize(std::min<size_t>(size, data.size()));

  switch (type) {
    case kRegSz:
    case kRegExpandSz:
      return Variant(api.AnsiToUtf8(WithoutTerminators(data, 1)));
    case kRegMultiSz:
      return Variant(api.AnsiToUtf8(WithoutTerminators(data, 2)));
    case kRegBinary:
      return Variant(std::move(data));
    case kRegDword:
      return Variant(LittleEndianInt32(data));
    default:
      key->Close();
      return UnsupportedValueType();
  }
}

}  // namespace tolvarin::registry
