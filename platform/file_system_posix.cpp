#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix_util.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::platform {
namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;
// Attempts at a free temporary name before giving up; others are left by killed copies.
constexpr int kTemporaryNameAttempts = 100;

using posix::SystemError;
using posix::UniqueFd;

// A temporary file beside the copy's destination, removed when this object ends.
class TemporaryFile {
 public:
  // Creates a new file in `directory` (ending in '/') with a hidden name derived from
  // `name`, with the permission bits `mode` less the umask (the kernel applies it, and a
  // default ACL, as for any new file). Fails, naming the directory, when none can be created.
  TemporaryFile() = default;
  Outcome Create(const String& directory, const String& name, mode_t mode) {
    const String base = directory + "." + name + "." + DecimalString(::getpid()) + "-";
    int error = EEXIST;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && fd_ < 0; ++attempt) {
      path_ = base + DecimalString(attempt);
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd_ < 0) {
        error = errno;
        if (error != EEXIST) break;
      }
    }
    if (fd_ < 0) {
      path_.clear();
      return SystemError(error, "Cannot create a file in " + directory);
    }
    return {};
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  int fd() const { return fd_; }
  const String& path() const { return path_; }

  // Closes now and reports the result: on some file systems close is where a failed
  // write surfaces.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  String path_;
  int fd_ = -1;
};

String FileName(const String& path) {
  const size_t slash = path.rfind('/');
  return slash == String::npos ? path : path.substr(slash + 1);
}

Outcome WriteAll(int fd, const char* data, size_t size, const String& destination) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      return SystemError(error, "Cannot write " + destination);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return {};
}

Outcome CopyContent(int input, int output, const String& source,
                 const String& destination) {
  Vector<char> buffer(kCopyBufferSize);
  for (;;) {
    const ssize_t count = ::read(input, buffer.data(), buffer.size());
    if (count == 0) return {};
    if (count < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      return SystemError(error, "Cannot read " + source);
    }
    if (Outcome written = WriteAll(output, buffer.data(), static_cast<size_t>(count), destination);
        !written.ok()) {
      return written;
    }
  }
}

// Makes the new name itself durable. Best effort: the copy is complete either way.
void SyncDirectory(const String& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

class PosixFileSystem final : public FileSystem {
 public:
  Result<bool> FileExists(const String& path) const override {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
  }

  Outcome CopyFile(const String& source, const String& destination_directory) override {
    const String name = FileName(source);
    if (name.empty() || destination_directory.empty() || destination_directory.back() != '/') {
      return Error(EINVAL, "Cannot copy " + source + " to " + destination_directory +
                               ": a file must be copied into a directory ending in /");
    }
    const String destination = destination_directory + name;

    UniqueFd input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat source_status;
    if (!input.valid() || ::fstat(input.get(), &source_status) != 0) {
      const int error = errno;
      return SystemError(error, "Cannot read " + source);
    }

    {
      TemporaryFile temporary;
      if (Outcome created = temporary.Create(destination_directory, name,
                                            source_status.st_mode & 0777);
          !created.ok()) {
        return created;
      }
      if (Outcome copied = CopyContent(input.get(), temporary.fd(), source, destination);
          !copied.ok()) {
        return copied;
      }
      // Keep the source's modification time, as a system copy does; the data is what counts.
      const struct timespec times[2] = {{0, UTIME_OMIT}, source_status.st_mtim};
      ::futimens(temporary.fd(), times);
      if (::fsync(temporary.fd()) != 0 || temporary.Close() != 0) {
        const int error = errno;
        return SystemError(error, "Cannot write " + destination);
      }
      // link, unlike rename, fails when the destination exists. The temporary name goes
      // with the temporary object either way.
      if (::link(temporary.path().c_str(), destination.c_str()) != 0) {
        const int error = errno;
        // A file there is present, left as it is; a directory there is no support file.
        if (error == EEXIST) {
          const Result<bool> present = FileExists(destination);
          if (present.ok() && *present) return {};
        }
        return SystemError(error, "Cannot create " + destination);
      }
    }
    SyncDirectory(destination_directory);
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace tolvarin::platform
