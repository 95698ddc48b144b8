#ifndef TOLVARIN_TESTS_COMMON_FAKE_PLATFORM_H_
#define TOLVARIN_TESTS_COMMON_FAKE_PLATFORM_H_

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/splash_window.h"

namespace tolvarin::testing {

// The splash, process and message-box services in one, each call noted in one journal so
// that the order across them shows. The call noted as `fail_on` throws error 5; ending
// the process throws Ended, which unwinds to the test.
class FakePlatform final : public platform::SplashWindow,
                           public platform::ProcessServices,
                           public platform::MessageBoxes {
 public:
  struct Ended {
    int status;
  };

  explicit FakePlatform(std::string fail_on = {}) : fail_on_(std::move(fail_on)) {}

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
  [[noreturn]] void EndProcess(int status) override {
    events.push_back("end " + std::to_string(status));
    throw Ended{status};
  }
  void Show(const std::string& prompt) override { events.push_back("box " + prompt); }

  mutable std::vector<std::string> events;

 private:
  std::string fail_on_;
};

}  // namespace tolvarin::testing

#endif  // TOLVARIN_TESTS_COMMON_FAKE_PLATFORM_H_
