// What the end-to-end scenarios cannot see: a JavaHome that is not text, and a home left
// from an earlier search.

#include "javaruntime/locate_java_runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "javaruntime/java_home_path.h"
#include "platform/file_system.h"
#include "tests/common/fake_platform.h"
#include "tests/common/fake_registry.h"

namespace tolvarin::javaruntime {
namespace {

using ::testing::ElementsAreArray;
using tolvarin::testing::FakePlatform;
using tolvarin::testing::FakeRegistry;

const std::string kRuntimesKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment\\";

TEST(LocateJavaRuntime, TakesOnlyTextAsTheHome) {
  const struct {
    const char* description;
    FakeRegistry::Bytes java_home_15;
    std::uint32_t type;
    std::vector<std::string> events;
  } kCases[] = {
      {"chosen with an empty home: nothing said, no home", {0}, 1, {}},
      {"binary JavaHome", {0x43, 0x3A}, 3,
       {"box Type mismatch", "box Error While Searching JVM on Your Machine"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    FakeRegistry registry;
    registry.Add(kRuntimesKey + "1.4", "JavaHome", {FakeRegistry::Ok(1, {'C', ':', 0})});
    registry.Add(kRuntimesKey + "1.5", "JavaHome", {FakeRegistry::Ok(c.type, c.java_home_15)});
    const std::unique_ptr<platform::FileSystem> files = platform::MakeNativeFileSystem();
    FakePlatform platform;
    JavaRuntimeContext context{registry, *files, platform, platform, "unused"};
    JavaHomePath = "left over";
    LocateJavaRuntime(context);
    EXPECT_THAT(platform.events, ElementsAreArray(c.events));
    EXPECT_EQ(JavaHomePath, "");
    EXPECT_EQ(registry.open_keys(), 0u);
  }
}

}  // namespace
}  // namespace tolvarin::javaruntime
