#include "javaruntime/locate_java_runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "javaruntime/java_home_path.h"
#include "javaruntime/support_location.h"
#include "platform/file_system.h"
#include "tests/javaruntime/fake_registry_api.h"
#include "tests/javaruntime/test_support.h"

namespace tolvarin::javaruntime {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::EndingProcess;
using testing::FakeRegistryApi;
using testing::ProcessEnded;
using testing::ReadTextFile;
using testing::RecordingMessageBoxes;
using testing::ScratchDirectory;
using testing::WriteTextFile;

constexpr char kRuntimesKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kNoRuntimesKey[] =
    "You have not Installed Java Runtime Environment on your computer.\r\n"
    "Download and install Java Runtime Environment Version 1.5 or higher version.\r\n"
    "Please refer installtion guide of Tessamorn for further help";
constexpr char kNotAvailable[] =
    "Java Runtime Environment version 1.5 or higher version is not avaiable";
constexpr char kSearchFailed[] = "Error While Searching JVM on Your Machine";

// A fake registry over real runtimes: each registered runtime's home is a directory
// ready to take the support files, copied from a real source directory.
class LocateJavaRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_.Path("source"));
    for (const char* name : {"Comm.jar", "javax.comm.properties", "Win32com.dll"}) {
      WriteTextFile(scratch_.Path("source/") / name, name);
    }
    JavaHomePath = "left over";
  }

  // Registers runtime `name` with its own home, lib/ext and bin included.
  void AddRuntime(const std::string& name) {
    std::filesystem::create_directories(scratch_.Path("jre-" + name + "/lib/ext"));
    std::filesystem::create_directories(scratch_.Path("jre-" + name + "/bin"));
    registry_.SetString(RuntimeKey(name), "JavaHome", Home(name));
  }

  static std::string RuntimeKey(const std::string& name) {
    return std::string(kRuntimesKey) + "\\" + name;
  }
  std::string Home(const std::string& name) const { return scratch_.Text("jre-" + name); }

  // Runs the search; the status the process was ended with, if it was.
  std::optional<int> Locate() {
    JavaRuntimeContext context{registry_, *files_, messages_, process_,
                               scratch_.Text("source") + kPathSeparator};
    try {
      LocateJavaRuntime(context);
    } catch (const ProcessEnded& ended) {
      return ended.status;
    }
    return std::nullopt;
  }

  ScratchDirectory scratch_;
  FakeRegistryApi registry_;
  std::unique_ptr<platform::FileSystem> files_ = platform::MakeNativeFileSystem();
  RecordingMessageBoxes messages_;
  EndingProcess process_;
};

TEST_F(LocateJavaRuntimeTest, WalksTheSubkeysInOrder) {
  const struct {
    const char* description;
    std::vector<std::string> names;  // in enumeration order
    const char* chosen;              // nullptr: none
    std::vector<std::string> prompts;
    std::optional<int> end_status;
  } kCases[] = {
      {"the first of 1.5 or later wins, not the newest",
       {"1.4", "1.4.2_06", "1.5", "1.5.0_06", "1.6", "1.6.0"}, "1.5", {}, std::nullopt},
      {"1.4.2_06 compares as 1.4, 1.5.0_06 as 1.5", {"1.4.2_06", "1.5.0_06"}, "1.5.0_06", {},
       std::nullopt},
      {"1.6.0 compares as 1.6", {"1.6.0"}, "1.6.0", {}, std::nullopt},
      {"only three characters count: 1.10 is 1.1, 9 is 9", {"1.10", "9"}, "9", {}, std::nullopt},
      {"a name that is not a number ends the walk before a later match",
       {"1.4", "abc", "1.5"}, nullptr, {"Type mismatch", kSearchFailed}, std::nullopt},
      {"no name qualifies", {"1.4", "1.10", "1.3.1"}, nullptr, {kNotAvailable}, 2},
      {"the runtimes key without subkeys", {}, nullptr, {kNotAvailable}, 2},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    registry_ = FakeRegistryApi();
    registry_.AddKey(kRuntimesKey);
    for (const std::string& name : c.names) AddRuntime(name);
    messages_.prompts.clear();
    JavaHomePath = "left over";

    EXPECT_EQ(Locate(), c.end_status);
    EXPECT_THAT(messages_.prompts, ElementsAreArray(c.prompts));
    EXPECT_EQ(JavaHomePath, c.chosen != nullptr ? Home(c.chosen) : "");
    if (c.chosen != nullptr) {
      EXPECT_EQ(ReadTextFile(scratch_.Path(std::string("jre-") + c.chosen + "/bin/Win32com.dll")),
                "Win32com.dll");
    }
    EXPECT_EQ(registry_.open_keys(), 0u);
  }
}

TEST_F(LocateJavaRuntimeTest, MissingRuntimesKeyEndsTheProcess) {
  registry_.AddKey("SOFTWARE\\JavaSoft");
  EXPECT_EQ(Locate(), kNoRuntimeStatus);
  EXPECT_THAT(messages_.prompts, ElementsAre(kNoRuntimesKey));
  EXPECT_EQ(JavaHomePath, "");
}

TEST_F(LocateJavaRuntimeTest, ChosenRuntimeWithoutAUsableHome) {
  const struct {
    const char* description;
    std::optional<FakeRegistryApi::Value> java_home;  // nullopt: no such value
    std::vector<std::string> prompts;
  } kCases[] = {
      {"empty JavaHome: nothing shown, nothing deployed",
       FakeRegistryApi::Value{FakeRegistryApi::kRegSz, {0}}, {}},
      {"missing JavaHome", std::nullopt, {"Unsupported value type", kSearchFailed}},
      {"binary JavaHome", FakeRegistryApi::Value{FakeRegistryApi::kRegBinary, {1, 2}},
       {"Type mismatch", kSearchFailed}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    registry_ = FakeRegistryApi();
    registry_.AddKey(RuntimeKey("1.5"));
    if (c.java_home) registry_.SetValue(RuntimeKey("1.5"), "JavaHome", *c.java_home);
    messages_.prompts.clear();
    JavaHomePath = "left over";

    EXPECT_EQ(Locate(), std::nullopt);
    EXPECT_THAT(messages_.prompts, ElementsAreArray(c.prompts));
    EXPECT_EQ(JavaHomePath, "");
    EXPECT_EQ(registry_.open_keys(), 0u);
  }
}

TEST_F(LocateJavaRuntimeTest, CopyFailureIsReportedOnceAndTheHomeKept) {
  std::filesystem::create_directories(scratch_.Path("jre-1.5/bin"));  // no lib/ext
  registry_.SetString(RuntimeKey("1.5"), "JavaHome", Home("1.5"));
  EXPECT_EQ(Locate(), std::nullopt);
  ASSERT_EQ(messages_.prompts.size(), 2u);
  EXPECT_EQ(messages_.prompts[1], "Error While Copying JAR File");
  EXPECT_EQ(JavaHomePath, Home("1.5"));
}

}  // namespace
}  // namespace tolvarin::javaruntime
