#include "launcher/launch_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "javaruntime/java_home_path.h"
#include "launcher/splash_layout.h"
#include "platform/error.h"
#include "platform/function.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::launcher {
namespace {

using ::testing::ElementsAreArray;

// The splash, process and message-box services in one journal, so that the order across
// them shows; the call noted as `fail_on` fails with error 5.
class FakePlatform final : public platform::SplashWindow,
                           public platform::ProcessServices,
                           public platform::MessageBoxes {
 public:
  explicit FakePlatform(String fail_on) : fail_on_(std::move(fail_on)) {}

  platform::Outcome Note(const String& event) const {
    events.push_back(event);
    if (event == fail_on_) return platform::Error(5, "Access is denied: " + event);
    return {};
  }
  platform::Result<int> Run(std::chrono::milliseconds,
                            const Function<int()>& on_tick) override {
    return on_tick();
  }
  void Close() override { (void)Note("close splash"); }
  platform::Result<String> ExecutableDirectory() const override {
    return String("C:\\Apps\\SMS");
  }
  platform::Result<String> CurrentDirectory() const override {
    if (platform::Outcome noted = Note("read cwd"); !noted.ok()) return noted.error();
    return String("C:\\Users\\me");
  }
  platform::Outcome ChangeDirectory(const String& path) override { return Note("cd " + path); }
  platform::Outcome StartHidden(const platform::NativeCommand& command) override {
    return Note("start " + command.command_line.substr(0, command.command_line.find(' ')));
  }
  [[noreturn]] void EndProcess(int) override { std::abort(); }  // the sequence never ends it
  void Show(const String& prompt) override { events.push_back("box " + prompt); }

  mutable Vector<String> events;

 private:
  String fail_on_;
};

TEST(RunLaunchSequence, StepsInOrderAndDirectoryRestoredOnEveryPath) {
  struct Case {
    const char* description;
    String fail_on;
    Vector<String> events;
    int status;
  };
  const String kBox = "box Error 5: Access is denied: ";
  const String kStart = "start \"C:\\jre\\bin\\java.exe\"";
  const Vector<String> kStarted = {"close splash", "locate", "read cwd",
                                   "cd C:\\Apps\\SMS", kStart, "cd C:\\Users\\me"};
  const auto then = [&](Vector<String> events, const String& last) {
    events.push_back(last);
    return events;
  };
  const Vector<Case> cases = {
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
                            (void)platform.Note("locate");
                            javaruntime::JavaHomePath = "C:\\jre";
                          }};
    EXPECT_EQ(*platform.Run(kTimer1Interval, [&context] { return RunLaunchSequence(context); }),
              c.status);
    EXPECT_THAT(platform.events, ElementsAreArray(c.events));
  }
  javaruntime::JavaHomePath.clear();
}

}  // namespace
}  // namespace tolvarin::launcher
