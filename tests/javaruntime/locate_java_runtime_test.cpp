// What the end-to-end scenarios cannot see: that every key opened is closed on each way
// out of the search, and a JavaHome that is not text.

#include "javaruntime/locate_java_runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "javaruntime/java_home_path.h"
#include "platform/file_system.h"

namespace tolvarin::javaruntime {
namespace {

using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;

const std::string kRuntimesKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kSearchFailed[] = "Error While Searching JVM on Your Machine";

struct Value {
  std::uint32_t type;
  Bytes data;
};

// HKEY_LOCAL_MACHINE with the runtimes key's subkeys in the order added; counts open keys.
class FakeRegistry final : public registry::RegistryApi {
 public:
  void AddRuntime(const std::string& name, std::optional<Value> java_home) {
    keys_[kRuntimesKey].subkeys.push_back(name);
    Key& key = keys_[kRuntimesKey + "\\" + name];
    if (java_home) key.values["JavaHome"] = *java_home;
  }
  void AddRuntimesKey() { keys_[kRuntimesKey]; }
  size_t open_keys() const { return open_.size(); }

  long OpenKey(registry::KeyHandle parent, const std::string& path, std::uint32_t,
               registry::KeyHandle* opened) override {
    if (parent != registry::kHkeyLocalMachine || keys_.count(path) == 0) {
      return registry::kErrorFileNotFound;
    }
    *opened = next_handle_++;
    open_[*opened] = path;
    return registry::kErrorSuccess;
  }
  long EnumKey(registry::KeyHandle key, std::uint32_t index, char* name,
               std::uint32_t size) override {
    const std::vector<std::string>& subkeys = keys_.at(open_.at(key)).subkeys;
    if (index >= subkeys.size()) return registry::kErrorNoMoreItems;
    if (subkeys[index].size() >= size) return registry::kErrorMoreData;
    std::strcpy(name, subkeys[index].c_str());
    return registry::kErrorSuccess;
  }
  long QueryValue(registry::KeyHandle key, const std::string& name, std::uint32_t* type,
                  std::uint8_t* data, std::uint32_t* size) override {
    const auto& values = keys_.at(open_.at(key)).values;
    const auto found = values.find(name);
    if (found == values.end()) return registry::kErrorFileNotFound;
    const bool fits = found->second.data.size() <= *size;
    *type = found->second.type;
    *size = static_cast<std::uint32_t>(found->second.data.size());
    if (!fits) return registry::kErrorMoreData;
    std::copy(found->second.data.begin(), found->second.data.end(), data);
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
  std::map<std::string, Key> keys_;
  std::map<registry::KeyHandle, std::string> open_;
  registry::KeyHandle next_handle_ = 0x1000;
};

class RecordingMessageBoxes final : public platform::MessageBoxes {
 public:
  void Show(const std::string& prompt) override { prompts.push_back(prompt); }
  std::vector<std::string> prompts;
};

struct ProcessEnded {
  int status;
};

// A process whose only service is its end, which unwinds to the test.
class EndingProcess final : public platform::ProcessServices {
 public:
  std::string ExecutableDirectory() const override { throw std::logic_error("unexpected"); }
  std::string CurrentDirectory() const override { throw std::logic_error("unexpected"); }
  void ChangeDirectory(const std::string&) override { throw std::logic_error("unexpected"); }
  void StartHidden(const platform::NativeCommand&) override { throw std::logic_error("unexpected"); }
  [[noreturn]] void EndProcess(int status) override { throw ProcessEnded{status}; }
};

Value Sz(const std::string& text) { return {1, Bytes(text.c_str(), text.c_str() + text.size() + 1)}; }

TEST(LocateJavaRuntime, ClosesEveryKeyAndTakesOnlyTextAsTheHome) {
  const struct {
    const char* description;
    bool runtimes_key;
    std::vector<std::pair<std::string, std::optional<Value>>> runtimes;
    std::vector<std::string> prompts;
    std::optional<int> end_status;
  } kCases[] = {
      {"no runtimes key", false, {}, {}, kNoRuntimeStatus},
      {"none qualifies", true, {{"1.4", Sz("C:\\j")}}, {}, kNoRuntimeStatus},
      {"chosen with an empty home", true, {{"1.4", Sz("C:\\j")}, {"1.5", Sz("")}}, {}, {}},
      {"a name that is not a number", true, {{"abc", Sz("C:\\j")}},
       {"Type mismatch", kSearchFailed}, {}},
      {"no JavaHome value", true, {{"1.5", std::nullopt}},
       {"Unsupported value type", kSearchFailed}, {}},
      {"binary JavaHome", true, {{"1.5", Value{3, {0x43, 0x3A}}}},
       {"Type mismatch", kSearchFailed}, {}},
      {"JavaHome of 2000 bytes: read twice", true, {{"1.5", Value{3, Bytes(2000, 1)}}},
       {"Type mismatch", kSearchFailed}, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    FakeRegistry registry;
    if (c.runtimes_key) registry.AddRuntimesKey();
    for (const auto& [name, home] : c.runtimes) registry.AddRuntime(name, home);
    const std::unique_ptr<platform::FileSystem> files = platform::MakeNativeFileSystem();
    RecordingMessageBoxes messages;
    EndingProcess process;
    JavaRuntimeContext context{registry, *files, messages, process, "unused"};
    JavaHomePath = "left over";

    std::optional<int> status;
    try {
      LocateJavaRuntime(context);
    } catch (const ProcessEnded& ended) {
      status = ended.status;
    }
    EXPECT_EQ(status, c.end_status);
    if (!status) {
      EXPECT_THAT(messages.prompts, ElementsAreArray(c.prompts));
    }
    EXPECT_EQ(JavaHomePath, "");
    EXPECT_EQ(registry.open_keys(), 0u);
  }
}

}  // namespace
}  // namespace tolvarin::javaruntime
