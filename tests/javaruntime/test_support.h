#ifndef TOLVARIN_TESTS_JAVARUNTIME_TEST_SUPPORT_H_
#define TOLVARIN_TESTS_JAVARUNTIME_TEST_SUPPORT_H_

// Stand-ins for the two services a test cannot drive for real (modal boxes and the end of
// the process) and scratch directories on the real file system.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/process.h"

namespace tolvarin::javaruntime::testing {

// Records every prompt instead of showing it.
class RecordingMessageBoxes final : public platform::MessageBoxes {
 public:
  void Show(const std::string& prompt) override { prompts.push_back(prompt); }
  std::vector<std::string> prompts;
};

// Thrown by EndingProcess::EndProcess, so a test sees the status and that nothing ran after.
struct ProcessEnded {
  int status;
};

// A process whose only usable service is its end.
class EndingProcess final : public platform::ProcessServices {
 public:
  std::string ExecutableDirectory() const override { throw Unexpected(); }
  std::string CurrentDirectory() const override { throw Unexpected(); }
  void ChangeDirectory(const std::string&) override { throw Unexpected(); }
  void StartHidden(const platform::NativeCommand&) override { throw Unexpected(); }
  [[noreturn]] void EndProcess(int status) override { throw ProcessEnded{status}; }

 private:
  static std::logic_error Unexpected() { return std::logic_error("unexpected process call"); }
};

// A fresh directory under the system's temporary directory, removed with its content.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory();

  // `relative` ('/'-separated, UTF-8) below the directory, in this platform's form.
  std::filesystem::path Path(const std::string& relative = "") const;
  // The same as UTF-8 text, the form the launcher's paths take.
  std::string Text(const std::string& relative = "") const;

 private:
  std::filesystem::path root_;
};

// Creates or replaces the file at `path` with `content`.
void WriteTextFile(const std::filesystem::path& path, const std::string& content);
// The content of the file at `path`; "<missing>" when there is none.
std::string ReadTextFile(const std::filesystem::path& path);
// The names in `directory`, sorted; empty when it does not exist.
std::vector<std::string> DirectoryEntries(const std::filesystem::path& directory);

}  // namespace tolvarin::javaruntime::testing

#endif  // TOLVARIN_TESTS_JAVARUNTIME_TEST_SUPPORT_H_
