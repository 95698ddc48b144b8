#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32_util.h"
#include "tests/platform/failing_source.h"

namespace tolvarin::platform::testing {
namespace {

constexpr DWORD kDeliveredBytes = 16 * 1024;

}  // namespace

struct FailingCommJarSource::State {
  std::string directory;
  std::wstring pipe_name;
  platform::win32::UniqueHandle pipe;
  std::thread server;
};

FailingCommJarSource::FailingCommJarSource(const std::string& /*scratch*/) : state_(new State) {
  state_->directory =
      "\\\\.\\pipe\\tolvarin-test-" + std::to_string(::GetCurrentProcessId()) + "\\";
  state_->pipe_name = platform::win32::Utf8ToWide(state_->directory + "Comm.jar");
  state_->pipe.reset(::CreateNamedPipeW(state_->pipe_name.c_str(), PIPE_ACCESS_OUTBOUND,
                                        PIPE_TYPE_BYTE | PIPE_WAIT, 1, kDeliveredBytes,
                                        kDeliveredBytes, 0, nullptr));
  if (!state_->pipe.valid()) throw std::runtime_error("CreateNamedPipeW failed");
  state_->server = std::thread([pipe = state_->pipe.get()] {
    if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return;
    const std::vector<char> data(kDeliveredBytes, 'x');
    DWORD written = 0;
    ::WriteFile(pipe, data.data(), kDeliveredBytes, &written, nullptr);
    ::FlushFileBuffers(pipe);  // returns once the reader has taken the data
    // The reader's next ReadFile fails with ERROR_PIPE_NOT_CONNECTED.
    ::DisconnectNamedPipe(pipe);
  });
}

FailingCommJarSource::~FailingCommJarSource() {
  // A copy that never connected would leave the server waiting: connect once and leave.
  platform::win32::UniqueHandle(::CreateFileW(state_->pipe_name.c_str(), GENERIC_READ, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
  state_->server.join();
}

const std::string& FailingCommJarSource::directory() const { return state_->directory; }

}  // namespace tolvarin::platform::testing
