#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/error.h"
#include "platform/posix_util.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/vector.h"

extern char** environ;

namespace tolvarin::platform {
namespace {

using posix::SystemError;

// Owns posix_spawn's attribute and file-action objects.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  posix_spawnattr_t* attributes() { return &attributes_; }
  posix_spawn_file_actions_t* actions() { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

class PosixProcessServices final : public ProcessServices {
 public:
  Result<String> ExecutableDirectory() const override {
    Vector<char> buffer(4096);
    for (;;) {
      const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (length < 0) {
        const int error = errno;
        return SystemError(error, "Cannot read /proc/self/exe");
      }
      if (static_cast<size_t>(length) < buffer.size()) {
        String path(buffer.data(), static_cast<size_t>(length));
        const size_t slash = path.rfind('/');
        return slash == 0 || slash == String::npos ? String("/") : path.substr(0, slash);
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  Result<String> CurrentDirectory() const override {
    char* const current = ::getcwd(nullptr, 0);
    const int error = errno;
    const std::unique_ptr<char, decltype(&std::free)> path(current, &std::free);
    if (!path) return SystemError(error, "Cannot read the current directory");
    return String(path.get());
  }

  Outcome ChangeDirectory(const String& path) override {
    if (::chdir(path.c_str()) != 0) {
      const int error = errno;
      return SystemError(error, "Cannot change to the directory " + path);
    }
    return {};
  }

  Outcome StartHidden(const NativeCommand& command) override {
    if (command.argv.empty()) return Error(EINVAL, "Cannot start an empty command");
    // A session of its own and no terminal input: the server outlives the launcher and
    // never competes for the launcher's terminal.
    SpawnSetup setup;
    posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    Vector<char*> argv;
    argv.reserve(command.argv.size() + 1);
    for (const String& argument : command.argv) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int result = ::posix_spawnp(&child, argv[0], setup.actions(), setup.attributes(),
                                      argv.data(), environ);
    if (result != 0) {
      String shown;
      for (const String& argument : command.argv) shown += (shown.empty() ? "" : " ") + argument;
      return SystemError(result, "Cannot start " + shown);
    }
    return {};
  }

  [[noreturn]] void EndProcess(int status) override { std::exit(status); }
};

}  // namespace

std::unique_ptr<ProcessServices> MakeNativeProcessServices() {
  return std::make_unique<PosixProcessServices>();
}

}  // namespace tolvarin::platform
