#include "launcher/launch_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "javaruntime/java_home_path.h"
#include "launcher/splash_layout.h"
#include "tests/common/fake_platform.h"

namespace tolvarin::launcher {
namespace {

using ::testing::ElementsAreArray;
using tolvarin::testing::FakePlatform;

TEST(RunLaunchSequence, StepsInOrderAndDirectoryRestoredOnEveryPath) {
  struct Case {
    const char* description;
    std::string fail_on;
    std::vector<std::string> events;
    int status;
  };
  const std::string kBox = "box Error 5: Access is denied: ";
  const std::string kStart = "start \"C:\\jre\\bin\\java.exe\"";
  const std::vector<std::string> kStarted = {"close splash", "locate", "read cwd",
                                             "cd C:\\Apps\\SMS", kStart, "cd C:\\Users\\me"};
  const auto then = [&](std::vector<std::string> events, const std::string& last) {
    events.push_back(last);
    return events;
  };
  const std::vector<Case> cases = {
      {"success", "", kStarted, 0},
      {"current directory unreadable: nothing started", "read cwd",
       {"close splash", "locate", "read cwd", kBox + "read cwd"}, kLaunchFailedStatus},
      {"install dir unusable: nothing started, nothing to restore", "cd C:\\Apps\\SMS",
       {"close splash", "locate", "read cwd", "cd C:\\Apps\\SMS", kBox + "cd C:\\Apps\\SMS"},
       kLaunchFailedStatus},
      {"start fails: directory still restored", kStart, then(kStarted, kBox + kStart),
       kLaunchFailedStatus},
      {"restoring fails after the start: told, status non-zero", "cd C:\\Users\\me",
       then(kStarted, kBox + "cd C:\\Users\\me"), kLaunchFailedStatus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    FakePlatform platform(c.fail_on);
    LaunchContext context{platform, platform, platform, [&platform] {
                            platform.Note("locate");
                            javaruntime::JavaHomePath = "C:\\jre";
                          }};
    EXPECT_EQ(platform.Run(kTimer1Interval, [&context] { return RunLaunchSequence(context); }),
              c.status);
    EXPECT_THAT(platform.events, ElementsAreArray(c.events));
  }
  javaruntime::JavaHomePath.clear();
}

}  // namespace
}  // namespace tolvarin::launcher
