#ifndef TOLVARIN_TESTS_PLATFORM_FAILING_SOURCE_H_
#define TOLVARIN_TESTS_PLATFORM_FAILING_SOURCE_H_

#include <memory>
#include <string>

namespace tolvarin::platform::testing {

// A support-file source directory whose Comm.jar cannot be copied whole: the copy gets
// part of the data written and then fails, for real. POSIX lowers the process's file-size
// limit (RLIMIT_FSIZE) so that a write fails with EFBIG; Windows serves Comm.jar from a
// named pipe that is disconnected after its first bytes. Only one may live at a time.
class FailingCommJarSource {
 public:
  // `scratch` is a directory the source may create files in (ending in no separator).
  explicit FailingCommJarSource(const std::string& scratch);
  FailingCommJarSource(const FailingCommJarSource&) = delete;
  FailingCommJarSource& operator=(const FailingCommJarSource&) = delete;
  ~FailingCommJarSource();

  // The source directory to copy from, ending in a separator.
  const std::string& directory() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tolvarin::platform::testing

#endif  // TOLVARIN_TESTS_PLATFORM_FAILING_SOURCE_H_
