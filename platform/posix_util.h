#ifndef TOLVARIN_PLATFORM_POSIX_UTIL_H_
#define TOLVARIN_PLATFORM_POSIX_UTIL_H_

// POSIX-only helpers shared by the POSIX backends: errno errors and an owner for file
// descriptors.

#include <unistd.h>

#include <cstring>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::platform::posix {

// Error for errno value `code`: `context`, ": " and strerror's text.
inline Error SystemError(int code, const String& context) {
  return Error(code, context + ": " + std::strerror(code));
}

// Owns a file descriptor and closes it once.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace tolvarin::platform::posix

#endif  // TOLVARIN_PLATFORM_POSIX_UTIL_H_
