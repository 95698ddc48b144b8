#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/platform/failing_source.h"

namespace tolvarin::platform::testing {
namespace {

constexpr rlim_t kFileSizeLimit = 16 * 1024;
constexpr size_t kSourceSize = 256 * 1024;

}  // namespace

struct FailingCommJarSource::State {
  std::string directory;
  rlimit previous_limit;
  void (*previous_handler)(int);
};

FailingCommJarSource::FailingCommJarSource(const std::string& scratch)
    : state_(new State{scratch + "/failing-source/", {}, nullptr}) {
  std::filesystem::create_directories(state_->directory);
  std::ofstream(state_->directory + "Comm.jar", std::ios::binary) << std::string(kSourceSize, 'x');
  // Beyond the limit write fails with EFBIG instead of the process being killed.
  state_->previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  getrlimit(RLIMIT_FSIZE, &state_->previous_limit);
  rlimit lowered = state_->previous_limit;
  lowered.rlim_cur = kFileSizeLimit;
  if (setrlimit(RLIMIT_FSIZE, &lowered) != 0) throw std::runtime_error("setrlimit failed");
}

FailingCommJarSource::~FailingCommJarSource() {
  setrlimit(RLIMIT_FSIZE, &state_->previous_limit);
  std::signal(SIGXFSZ, state_->previous_handler);
}

const std::string& FailingCommJarSource::directory() const { return state_->directory; }

}  // namespace tolvarin::platform::testing
