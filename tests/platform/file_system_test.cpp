// The one promise of CopyFile that no end-to-end run can show on both targets: a copy
// failing part-way leaves nothing under the destination name and no temporary file.

#include "platform/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/common/error_of.h"
#include "tests/platform/failing_source.h"

namespace tolvarin::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::vector<std::string> Entries(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().u8string());
  }
  return names;
}

TEST(CopyFile, FailingPartWayLeavesNothingUnderTheNameAndNoTemporary) {
  const fs::path scratch = fs::temp_directory_path() / ("tolvarin-test-" + std::to_string(std::random_device()()));
  const struct {
    const char* description;
    const char* existing;  // content of a file already under the name, or nullptr
  } kCases[] = {
      {"no file before", nullptr},
      {"the file it would have replaced stays as it was", "older"},
  };
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    const fs::path destination = scratch / "destination";
    fs::remove_all(destination);
    fs::create_directories(destination);
    if (c.existing) std::ofstream(destination / "Comm.jar", std::ios::binary) << c.existing;
    std::string error;
    {
      const testing::FailingCommJarSource source(scratch.u8string());
      error = tolvarin::testing::ErrorOf([&] {
        files->CopyFile(source.directory() + "Comm.jar",
                        (destination / "").make_preferred().u8string(), /*overwrite=*/true);
      });
    }
    EXPECT_THAT(error, HasSubstr("Comm.jar"));
    if (c.existing) {
      EXPECT_EQ(Entries(destination), std::vector<std::string>{"Comm.jar"});
      std::ifstream file(destination / "Comm.jar", std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), c.existing);
    } else {
      EXPECT_THAT(Entries(destination), ::testing::IsEmpty());
    }
  }
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tolvarin::platform
