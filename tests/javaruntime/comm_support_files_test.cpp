#include "javaruntime/comm_support_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "javaruntime/support_location.h"
#include "platform/file_system.h"
#include "tests/javaruntime/failing_source.h"
#include "tests/javaruntime/fake_registry_api.h"
#include "tests/javaruntime/test_support.h"

namespace tolvarin::javaruntime {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::DirectoryEntries;
using testing::EndingProcess;
using testing::FailingCommJarSource;
using testing::FakeRegistryApi;
using testing::ReadTextFile;
using testing::RecordingMessageBoxes;
using testing::ScratchDirectory;
using testing::WriteTextFile;

constexpr char kCopyFailed[] = "Error While Copying JAR File";
constexpr char kCommJar[] = "lib/ext/Comm.jar";
constexpr char kProperties[] = "lib/javax.comm.properties";
constexpr char kNativeLibrary[] = "bin/Win32com.dll";

// A runtime in a scratch directory and a source directory holding the three files, each
// with its name as content; files already in the runtime say "old".
class InstallCommSupportFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_.Path("source"));
    for (const char* name : {"Comm.jar", "javax.comm.properties", "Win32com.dll"}) {
      WriteTextFile(scratch_.Path("source/") / name, name);
    }
  }

  // Creates the runtime `home` (relative to the scratch directory) with `directories`
  // and, in them, the "old" files `present`.
  void MakeRuntime(const std::string& home, const std::vector<std::string>& directories,
                   const std::vector<std::string>& present) {
    std::filesystem::create_directories(scratch_.Path(home));
    for (const std::string& directory : directories) {
      std::filesystem::create_directories(scratch_.Path(home + "/" + directory));
    }
    for (const std::string& file : present) WriteTextFile(scratch_.Path(home + "/" + file), "old");
  }

  void Install(const std::string& home_text) {
    JavaRuntimeContext context{registry_, *files_, messages_, process_,
                               source_directory_.empty() ? SourceDirectory() : source_directory_};
    InstallCommSupportFiles(context, home_text);
  }

  std::string SourceDirectory() const { return scratch_.Text("source") + kPathSeparator; }

  // The content of each support file in the runtime at `home`.
  std::map<std::string, std::string> RuntimeFiles(const std::string& home) const {
    std::map<std::string, std::string> files;
    for (const char* file : {kCommJar, kProperties, kNativeLibrary}) {
      files[file] = ReadTextFile(scratch_.Path(home + "/" + file));
    }
    return files;
  }

  ScratchDirectory scratch_;
  FakeRegistryApi registry_;
  std::unique_ptr<platform::FileSystem> files_ = platform::MakeNativeFileSystem();
  RecordingMessageBoxes messages_;
  EndingProcess process_;
  std::string source_directory_;
};

TEST_F(InstallCommSupportFilesTest, CopiesOnlyWhatTheRuntimeLacks) {
  const struct {
    const char* description;
    std::vector<std::string> present;
    std::map<std::string, std::string> expected;
  } kCases[] = {
      {"all present: nothing copied",
       {kCommJar, kProperties, kNativeLibrary},
       {{kCommJar, "old"}, {kProperties, "old"}, {kNativeLibrary, "old"}}},
      {"only the native library missing",
       {kCommJar, kProperties},
       {{kCommJar, "old"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"an older file present is not replaced",
       {kProperties},
       {{kCommJar, "Comm.jar"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"all missing",
       {},
       {{kCommJar, "Comm.jar"}, {kProperties, "javax.comm.properties"},
        {kNativeLibrary, "Win32com.dll"}}},
  };
  int runtime = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    const std::string home = "jre" + std::to_string(++runtime);
    MakeRuntime(home, {"lib/ext", "bin"}, c.present);
    Install(scratch_.Text(home));
    EXPECT_THAT(messages_.prompts, IsEmpty());
    EXPECT_EQ(RuntimeFiles(home), c.expected);
    // Nothing but the support files: no temporary file stays behind.
    EXPECT_THAT(DirectoryEntries(scratch_.Path(home + "/bin")), ElementsAre("Win32com.dll"));
    messages_.prompts.clear();
  }
}

TEST_F(InstallCommSupportFilesTest, UsesTheHomeAsGiven) {
  const struct {
    const char* description;
    std::string home;
    std::string home_text;
  } kCases[] = {
      {"ending in a separator (doubled at the join)", "jre-a", scratch_.Text("jre-a") + kPathSeparator},
      {"with spaces and non-ASCII characters", "Java Runtime \xC3\xBC 1.5",
       scratch_.Text("Java Runtime \xC3\xBC 1.5")},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    MakeRuntime(c.home, {"lib/ext", "bin"}, {});
    Install(c.home_text);
    EXPECT_THAT(messages_.prompts, IsEmpty());
    EXPECT_EQ(ReadTextFile(scratch_.Path(c.home + "/" + kNativeLibrary)), "Win32com.dll");
  }
}

TEST_F(InstallCommSupportFilesTest, SecondRunCopiesNothing) {
  MakeRuntime("jre", {"lib/ext", "bin"}, {});
  Install(scratch_.Text("jre"));
  for (const char* name : {"Comm.jar", "javax.comm.properties", "Win32com.dll"}) {
    WriteTextFile(scratch_.Path("source/") / name, "newer");
  }
  Install(scratch_.Text("jre"));
  EXPECT_THAT(messages_.prompts, IsEmpty());
  EXPECT_EQ(RuntimeFiles("jre"), (std::map<std::string, std::string>{
                                     {kCommJar, "Comm.jar"},
                                     {kProperties, "javax.comm.properties"},
                                     {kNativeLibrary, "Win32com.dll"}}));
}

TEST_F(InstallCommSupportFilesTest, FirstFailureStopsTheRest) {
  const struct {
    const char* description;
    std::vector<std::string> directories;
    std::vector<std::string> present;
    const char* missing_source;
    std::string named_path;  // relative to the scratch directory; what the description names
    std::map<std::string, std::string> expected;
  } kCases[] = {
      {"source of row 2 missing: row 1 copied, row 3 not tried",
       {"lib/ext", "bin"}, {}, "javax.comm.properties", "source/javax.comm.properties",
       {{kCommJar, "Comm.jar"}, {kProperties, "<missing>"}, {kNativeLibrary, "<missing>"}}},
      {"missing source never noticed when the runtime holds the file",
       {"lib/ext", "bin"}, {kProperties}, "javax.comm.properties", "",
       {{kCommJar, "Comm.jar"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"no lib/ext: rows 2 and 3 not tried though they would succeed",
       {"lib", "bin"}, {}, nullptr, "jre/lib/ext/",
       {{kCommJar, "<missing>"}, {kProperties, "<missing>"}, {kNativeLibrary, "<missing>"}}},
  };
  int runtime = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    SetUp();
    if (c.missing_source != nullptr) std::filesystem::remove(scratch_.Path("source/") / c.missing_source);
    const std::string home = "jre" + std::to_string(++runtime);
    MakeRuntime(home, c.directories, c.present);
    Install(scratch_.Text(home));
    if (c.named_path.empty()) {
      EXPECT_THAT(messages_.prompts, IsEmpty());
    } else {
      std::string named = c.named_path;
      if (named.compare(0, 4, "jre/") == 0) named.replace(0, 3, home);
      const std::string named_text = scratch_.Text(named);
      ASSERT_EQ(messages_.prompts.size(), 2u);
      EXPECT_NE(messages_.prompts[0].find(named_text), std::string::npos) << messages_.prompts[0];
      EXPECT_EQ(messages_.prompts[1], kCopyFailed);
    }
    EXPECT_EQ(RuntimeFiles(home), c.expected);
    messages_.prompts.clear();
  }
}

TEST_F(InstallCommSupportFilesTest, CopyFailingPartWayLeavesNoFileUnderItsName) {
  MakeRuntime("jre", {"lib/ext", "bin"}, {});
  {
    const FailingCommJarSource failing(scratch_.Text());
    source_directory_ = failing.directory();
    Install(scratch_.Text("jre"));
  }
  ASSERT_EQ(messages_.prompts.size(), 2u);
  EXPECT_EQ(messages_.prompts[1], kCopyFailed);
  // Neither the destination name nor a temporary: a later run sees the file missing and
  // copies it whole.
  EXPECT_THAT(DirectoryEntries(scratch_.Path("jre/lib/ext")), IsEmpty());
  EXPECT_EQ(RuntimeFiles("jre")[kNativeLibrary], "<missing>");

  source_directory_.clear();
  messages_.prompts.clear();
  Install(scratch_.Text("jre"));
  EXPECT_THAT(messages_.prompts, IsEmpty());
  EXPECT_EQ(RuntimeFiles("jre")[kCommJar], "Comm.jar");
}

}  // namespace
}  // namespace tolvarin::javaruntime
