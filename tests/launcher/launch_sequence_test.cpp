#include "launcher/launch_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "javaruntime/java_home_path.h"
#include "launcher/splash_layout.h"
#include "platform/error.h"

namespace tolvarin::launcher {
namespace {

using ::testing::ElementsAreArray;

// The three services in one, each call noted in one journal so that the order across them
// is visible; the call named `fail_on` throws.
class Journal final : public platform::SplashWindow,
                      public platform::ProcessServices,
                      public platform::MessageBoxes {
 public:
  explicit Journal(std::string fail_on) : fail_on_(std::move(fail_on)) {}
  void Note(const std::string& event) const {
    events.push_back(event);
    if (event == fail_on_) throw platform::Error(5, "Access is denied: " + event);
  }

  int Run(std::chrono::milliseconds, const std::function<int()>& on_tick) override {
    return on_tick();
  }
  void Close() override { Note("close splash"); }
  std::string ExecutableDirectory() const override { return "C:\\Apps\\SMS"; }
  std::string CurrentDirectory() const override {
    Note("read cwd");
    return "C:\\Users\\me";
  }
  void ChangeDirectory(const std::string& path) override { Note("cd " + path); }
  void StartHidden(const platform::NativeCommand& command) override {
    Note("start " + command.command_line.substr(0, command.command_line.find(' ')));
  }
  [[noreturn]] void EndProcess(int) override { throw std::logic_error("not expected"); }
  void Show(const std::string& prompt) override { events.push_back("box " + prompt); }

  mutable std::vector<std::string> events;

 private:
  std::string fail_on_;
};

TEST(RunLaunchSequence, StepsInOrderAndDirectoryRestoredOnEveryPath) {
  struct Case {
    const char* description;
    std::string fail_on;
    std::vector<std::string> events;
    int status;
  };
  const std::string kBox = "box Error 5: Access is denied: ";
  const std::vector<Case> cases = {
      {"success", "",
       {"close splash", "locate", "read cwd", "cd C:\\Apps\\SMS", "start \"C:\\jre\\bin\\java.exe\"",
        "cd C:\\Users\\me"},
       0},
      {"current directory unreadable: nothing started", "read cwd",
       {"close splash", "locate", "read cwd", kBox + "read cwd"},
       kLaunchFailedStatus},
      {"install dir unusable: nothing started, nothing to restore", "cd C:\\Apps\\SMS",
       {"close splash", "locate", "read cwd", "cd C:\\Apps\\SMS", kBox + "cd C:\\Apps\\SMS"},
       kLaunchFailedStatus},
      {"start fails: directory still restored", "start \"C:\\jre\\bin\\java.exe\"",
       {"close splash", "locate", "read cwd", "cd C:\\Apps\\SMS", "start \"C:\\jre\\bin\\java.exe\"",
        "cd C:\\Users\\me", kBox + "start \"C:\\jre\\bin\\java.exe\""},
       kLaunchFailedStatus},
      {"restoring fails after the start: told, status non-zero", "cd C:\\Users\\me",
       {"close splash", "locate", "read cwd", "cd C:\\Apps\\SMS", "start \"C:\\jre\\bin\\java.exe\"",
        "cd C:\\Users\\me", kBox + "cd C:\\Users\\me"},
       kLaunchFailedStatus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    Journal journal(c.fail_on);
    LaunchContext context{journal, journal, journal, [&journal] {
                            journal.Note("locate");
                            javaruntime::JavaHomePath = "C:\\jre";
                          }};
    EXPECT_EQ(journal.Run(kTimer1Interval, [&context] { return RunLaunchSequence(context); }),
              c.status);
    EXPECT_THAT(journal.events, ElementsAreArray(c.events));
  }
  javaruntime::JavaHomePath.clear();
}

}  // namespace
}  // namespace tolvarin::launcher
