#ifndef TOLVARIN_TESTS_COMMON_FAKE_REGISTRY_H_
#define TOLVARIN_TESTS_COMMON_FAKE_REGISTRY_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "registry/registry_api.h"

namespace tolvarin::testing {

// The four registry calls over HKEY_LOCAL_MACHINE held in memory, for what a real registry
// cannot be made to do on demand. Counts the keys left open and fails the test on a handle
// closed twice or used after closing.
class FakeRegistry final : public registry::RegistryApi {
 public:
  using Bytes = std::vector<std::uint8_t>;
  // One answer to a value query. Like advapi32 it writes type and size whatever the status
  // and data only with status 0; data that does not fit the caller's buffer is answered
  // with 234 and its size instead.
  struct Reply {
    long status;
    std::uint32_t type;
    std::uint32_t size;
    Bytes data;
  };
  static Reply Ok(std::uint32_t type, Bytes data) {
    return {registry::kErrorSuccess, type, static_cast<std::uint32_t>(data.size()), data};
  }

  // The key at `path` and its parents, each a subkey of its parent in the order added;
  // the value `name`, when given, answers `replies` in turn, the last one from then on.
  void Add(const std::string& path, const std::string& name = {},
           std::vector<Reply> replies = {}) {
    for (size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      const std::string key = path.substr(0, end);
      if (keys_.count(key) != 0) continue;
      const size_t split = key.rfind('\\');
      keys_[split == std::string::npos ? "" : key.substr(0, split)].subkeys.push_back(
          key.substr(split + 1));
      keys_[key];
    }
    if (!replies.empty()) keys_[path].values[name] = std::move(replies);
  }

  size_t open_keys() const { return open_.size(); }
  std::vector<std::uint32_t> query_buffer_sizes;

  long OpenKey(registry::KeyHandle parent, const std::string& path, std::uint32_t access,
               registry::KeyHandle* opened) override {
    EXPECT_EQ(access, registry::kKeyRead);
    CheckUsable(parent);
    std::string full = Path(parent);
    full += full.empty() || path.empty() ? path : "\\" + path;
    if (keys_.count(full) == 0) return registry::kErrorFileNotFound;
    *opened = next_handle_ += 4;
    paths_[*opened] = full;
    open_.insert(*opened);
    return registry::kErrorSuccess;
  }

  long EnumKey(registry::KeyHandle key, std::uint32_t index, char* name,
               std::uint32_t size) override {
    CheckUsable(key);
    const std::vector<std::string>& subkeys = keys_[Path(key)].subkeys;
    if (index >= subkeys.size()) return registry::kErrorNoMoreItems;
    if (subkeys[index].size() >= size) return registry::kErrorMoreData;
    std::memcpy(name, subkeys[index].c_str(), subkeys[index].size() + 1);
    return registry::kErrorSuccess;
  }

  long QueryValue(registry::KeyHandle key, const std::string& name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override {
    CheckUsable(key);
    query_buffer_sizes.push_back(*size);
    auto& values = keys_[Path(key)].values;
    if (values.count(name) == 0) return registry::kErrorFileNotFound;
    std::vector<Reply>& replies = values[name];
    Reply reply = replies.front();
    if (replies.size() > 1) replies.erase(replies.begin());
    if (reply.status == registry::kErrorSuccess && reply.data.size() > *size) {
      reply.status = registry::kErrorMoreData;
    } else if (reply.status == registry::kErrorSuccess) {
      std::copy(reply.data.begin(), reply.data.end(), data);
    }
    *type = reply.type;
    *size = reply.size;
    return reply.status;
  }

  void CloseKey(registry::KeyHandle key) override {
    EXPECT_EQ(open_.erase(key), 1u) << "closed a handle that is not open";
  }

  std::string Utf8ToAnsi(const std::string& utf8) const override { return utf8; }
  std::string AnsiToUtf8(const std::string& ansi) const override { return ansi; }

 private:
  struct Key {
    std::vector<std::string> subkeys;
    std::map<std::string, std::vector<Reply>> values;
  };

  void CheckUsable(registry::KeyHandle key) const {
    EXPECT_TRUE(key == registry::kHkeyLocalMachine || open_.count(key) != 0) << "handle not open";
  }
  std::string Path(registry::KeyHandle key) const {
    return key == registry::kHkeyLocalMachine ? "" : paths_.at(key);
  }

  std::map<std::string, Key> keys_{{"", {}}};
  std::map<registry::KeyHandle, std::string> paths_;
  std::set<registry::KeyHandle> open_;
  registry::KeyHandle next_handle_ = 0x1000;
};

}  // namespace tolvarin::testing

#endif  // TOLVARIN_TESTS_COMMON_FAKE_REGISTRY_H_
