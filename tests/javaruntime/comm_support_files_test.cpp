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

using ::testing::IsEmpty;
using testing::DirectoryEntries;
using testing::ReadTextFile;
using testing::WriteTextFile;

using RuntimeFiles = std::map<std::string, std::string>;  // support file -> content

constexpr char kCopyFailed[] = "Error While Copying JAR File";
constexpr char kCommJar[] = "lib/ext/Comm.jar";
constexpr char kProperties[] = "lib/javax.comm.properties";
constexpr char kNativeLibrary[] = "bin/Win32com.dll";
const RuntimeFiles kAllCopied = {
    {kCommJar, "Comm.jar"}, {kProperties, "javax.comm.properties"}, {kNativeLibrary, "Win32com.dll"}};
const RuntimeFiles kNoneThere = {
    {kCommJar, "<missing>"}, {kProperties, "<missing>"}, {kNativeLibrary, "<missing>"}};

// Runtimes in a scratch directory and a source directory holding the three files, each
// with its own name as content; files already in a runtime say "old".
class InstallCommSupportFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteSources(); }

  void WriteSources() {
    std::filesystem::create_directories(scratch_.Path("source"));
    for (const char* name : {"Comm.jar", "javax.comm.properties", "Win32com.dll"}) {
      WriteTextFile(scratch_.Path("source/") / name, name);
    }
  }

  // Creates the runtime `home` with `directories` and, in them, the "old" files `present`.
  void MakeRuntime(const std::string& home, const std::vector<std::string>& directories,
                   const std::vector<std::string>& present = {}) {
    for (const std::string& directory : directories) {
      std::filesystem::create_directories(scratch_.Path(home + "/" + directory));
    }
    for (const std::string& file : present) WriteTextFile(scratch_.Path(home + "/" + file), "old");
  }

  void Install(const std::string& home_text, const std::string& source_directory = "") {
    JavaRuntimeContext context{
        registry_, *files_, messages_, process_,
        source_directory.empty() ? scratch_.Text("source") + kPathSeparator : source_directory};
    InstallCommSupportFiles(context, home_text);
  }

  RuntimeFiles FilesIn(const std::string& home) const {
    RuntimeFiles files;
    for (const char* file : {kCommJar, kProperties, kNativeLibrary}) {
      files[file] = ReadTextFile(scratch_.Path(home + "/" + file));
    }
    return files;
  }

  testing::ScratchDirectory scratch_;
  testing::FakeRegistryApi registry_;
  std::unique_ptr<platform::FileSystem> files_ = platform::MakeNativeFileSystem();
  testing::RecordingMessageBoxes messages_;
  testing::EndingProcess process_;
};

TEST_F(InstallCommSupportFilesTest, CopiesOnlyWhatTheRuntimeLacks) {
  const struct {
    const char* description;
    std::string home;
    bool trailing_separator;
    std::vector<std::string> present;
    RuntimeFiles expected;
  } kCases[] = {
      {"all present: nothing copied", "jre1", false, {kCommJar, kProperties, kNativeLibrary},
       {{kCommJar, "old"}, {kProperties, "old"}, {kNativeLibrary, "old"}}},
      {"only the native library missing", "jre2", false, {kCommJar, kProperties},
       {{kCommJar, "old"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"an older file present is not replaced", "jre3", false, {kProperties},
       {{kCommJar, "Comm.jar"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"home ending in a separator: doubled at the join", "jre4", true, {}, kAllCopied},
      {"home with spaces and non-ASCII characters", "Java Runtime \xC3\xBC 1.5", false, {},
       kAllCopied},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    messages_.prompts.clear();
    MakeRuntime(c.home, {"lib/ext", "bin"}, c.present);
    Install(scratch_.Text(c.home) + (c.trailing_separator ? std::string(1, kPathSeparator) : ""));
    EXPECT_THAT(messages_.prompts, IsEmpty());
    EXPECT_EQ(FilesIn(c.home), c.expected);
    // No temporary file stays behind.
    EXPECT_EQ(DirectoryEntries(scratch_.Path(c.home + "/bin")),
              std::vector<std::string>{"Win32com.dll"});
  }
}

TEST_F(InstallCommSupportFilesTest, SecondRunCopiesNothing) {
  MakeRuntime("jre", {"lib/ext", "bin"});
  Install(scratch_.Text("jre"));
  for (const char* name : {"Comm.jar", "javax.comm.properties", "Win32com.dll"}) {
    WriteTextFile(scratch_.Path("source/") / name, "newer");
  }
  Install(scratch_.Text("jre"));
  EXPECT_THAT(messages_.prompts, IsEmpty());
  EXPECT_EQ(FilesIn("jre"), kAllCopied);
}

TEST_F(InstallCommSupportFilesTest, FirstFailureStopsTheRest) {
  const struct {
    const char* description;
    std::vector<std::string> directories;
    std::vector<std::string> present;
    const char* missing_source;  // nullptr: all there
    std::string named_path;      // what the description names; "" when nothing fails
    RuntimeFiles expected;
  } kCases[] = {
      {"source of row 2 missing: row 1 copied, row 3 not tried", {"lib/ext", "bin"}, {},
       "javax.comm.properties", "source/javax.comm.properties",
       {{kCommJar, "Comm.jar"}, {kProperties, "<missing>"}, {kNativeLibrary, "<missing>"}}},
      {"missing source never noticed when the runtime holds the file", {"lib/ext", "bin"},
       {kProperties}, "javax.comm.properties", "",
       {{kCommJar, "Comm.jar"}, {kProperties, "old"}, {kNativeLibrary, "Win32com.dll"}}},
      {"no lib/ext: rows 2 and 3 not tried though they would succeed", {"lib", "bin"}, {},
       nullptr, "jre3/lib/ext/", kNoneThere},
  };
  int runtime = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    messages_.prompts.clear();
    WriteSources();
    if (c.missing_source) std::filesystem::remove(scratch_.Path("source/") / c.missing_source);
    const std::string home = "jre" + std::to_string(++runtime);
    MakeRuntime(home, c.directories, c.present);
    Install(scratch_.Text(home));
    if (c.named_path.empty()) {
      EXPECT_THAT(messages_.prompts, IsEmpty());
    } else {
      ASSERT_EQ(messages_.prompts.size(), 2u);
      EXPECT_THAT(messages_.prompts[0], ::testing::HasSubstr(scratch_.Text(c.named_path)));
      EXPECT_EQ(messages_.prompts[1], kCopyFailed);
    }
    EXPECT_EQ(FilesIn(home), c.expected);
  }
}

TEST_F(InstallCommSupportFilesTest, CopyFailingPartWayLeavesNoFileUnderItsName) {
  MakeRuntime("jre", {"lib/ext", "bin"});
  {
    const testing::FailingCommJarSource failing(scratch_.Text());
    Install(scratch_.Text("jre"), failing.directory());
  }
  ASSERT_EQ(messages_.prompts.size(), 2u);
  EXPECT_EQ(messages_.prompts[1], kCopyFailed);
  // Neither the destination name nor a temporary, and the later rows not tried: the next
  // run sees the file missing and copies it whole.
  EXPECT_THAT(DirectoryEntries(scratch_.Path("jre/lib/ext")), IsEmpty());
  EXPECT_EQ(FilesIn("jre"), kNoneThere);

  messages_.prompts.clear();
  Install(scratch_.Text("jre"));
  EXPECT_THAT(messages_.prompts, IsEmpty());
  EXPECT_EQ(FilesIn("jre"), kAllCopied);
}

}  // namespace
}  // namespace tolvarin::javaruntime
