// What no end-to-end run can show on both targets: a copy failing part-way leaves nothing
// under the destination name and no temporary file, a file that appeared after the caller
// looked is never replaced while a directory there fails the copy, and an error keeps its own
// number.

#ifdef _WIN32
#include <windows.h>
#undef CopyFile  // the interface's method, not the system's
#else
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/vector.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <random>

#include "tests/common/error_of.h"
#ifdef _WIN32
#include "platform/win32_util.h"
#endif

// Allocation may change errno (and the last error) even when it succeeds; this one always
// does, so an error number read after its message was built shows the wrong number.
void* operator new(std::size_t size) {
  errno = ENOMEM;
#ifdef _WIN32
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
#endif
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  std::abort();  // as the Windows programs' own (platform/allocation_win32.cpp)
}
// GCC cannot tell that free here matches the malloc above once these are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace tolvarin::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kDelivered = 16 * 1024;  // bytes of Comm.jar a failing copy gets written

String Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return String(text.begin(), text.end());
}

// A source directory whose Comm.jar cannot be copied whole: part of the data is written, then
// the copy fails for real. Windows serves Comm.jar from a named pipe disconnected after its
// first bytes; POSIX lowers the file-size limit, so that a write fails with EFBIG.
#ifdef _WIN32
constexpr long kPartWayError = ERROR_PIPE_NOT_CONNECTED;
constexpr long kTakenError = ERROR_ALREADY_EXISTS;

struct FailingSource {
  explicit FailingSource(const fs::path&)
      : directory("\\\\.\\pipe\\tolvarin-test-" + DecimalString(::GetCurrentProcessId()) + "\\"),
        name(win32::Utf8ToWideShown(directory + "Comm.jar")),
        pipe(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                kDelivered, kDelivered, 0, nullptr)),
        server(::CreateThread(nullptr, 0, &FailingSource::Serve, this, 0, nullptr)) {}
  ~FailingSource() {
    // A copy that never connected would leave the server waiting: connect once and leave.
    win32::UniqueHandle(::CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ::WaitForSingleObject(server.get(), INFINITE);
  }
  // The pipe's server, on a thread of its own: the first kDelivered bytes, then a disconnect.
  static DWORD WINAPI Serve(void* self) {
    const FailingSource& source = *static_cast<const FailingSource*>(self);
    if (!::ConnectNamedPipe(source.pipe.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return 0;
    const String data(kDelivered, 'x');
    DWORD written = 0;
    ::WriteFile(source.pipe.get(), data.data(), kDelivered, &written, nullptr);
    ::FlushFileBuffers(source.pipe.get());  // returns once the reader has taken the data
    ::DisconnectNamedPipe(source.pipe.get());
    return 0;
  }
  String directory;
  WString name;
  win32::UniqueHandle pipe;
  win32::UniqueHandle server;  // the thread
};
#else
constexpr long kPartWayError = EFBIG;
constexpr long kTakenError = EEXIST;

struct FailingSource {
  explicit FailingSource(const fs::path& scratch) : directory(Utf8(scratch / "failing" / "")) {
    fs::create_directories(directory.c_str());
    std::ofstream((directory + "Comm.jar").c_str(), std::ios::binary) << String(16 * kDelivered, 'x');
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit lowered = previous;
    lowered.rlim_cur = kDelivered;
    handler = std::signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of the signal
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  }
  ~FailingSource() {
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
  }
  String directory;
  rlimit previous{};
  void (*handler)(int) = nullptr;
};
#endif

Vector<String> Entries(const fs::path& directory) {
  Vector<String> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  return names;
}

TEST(CopyFile, PublishesOnlyUnderAFreeNameAndLeavesNoTemporary) {
  const fs::path scratch = fs::temp_directory_path() / ("tolvarin-test-" + std::to_string(std::random_device()()));
  fs::create_directories(scratch / "source");
  std::ofstream(scratch / "source" / "Comm.jar", std::ios::binary) << "comm classes";
#ifndef _WIN32
  fs::permissions(scratch / "source" / "Comm.jar", fs::perms(0666));
  const mode_t previous_umask = ::umask(022);
#endif
  const struct {
    const char* description;
    bool failing;          // the copy fails part-way
    const char* existing;  // content of a file already under the name, or nullptr
    bool directory;        // a directory under the name instead
  } kCases[] = {
      {"copied whole", false, nullptr, false},
      {"a file that appeared after the caller looked stays as it was, without an error", false,
       "another launcher's copy", false},
      {"a directory under the name is no copy: an error, and the directory stays", false, nullptr, true},
      {"failing part-way: nothing under the name", true, nullptr, false},
      {"failing part-way: the file there stays as it was", true, "older", false},
  };
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    const fs::path destination = scratch / "destination";
    fs::remove_all(destination);
    fs::create_directories(destination);
    if (c.existing) std::ofstream(destination / "Comm.jar", std::ios::binary) << c.existing;
    if (c.directory) fs::create_directory(destination / "Comm.jar");
    String error;
    {
      std::optional<FailingSource> failing;
      if (c.failing) failing.emplace(scratch);
      const String sources =
          failing ? failing->directory : Utf8((scratch / "source" / "").make_preferred());
      error = tolvarin::testing::ErrorOf(
          files->CopyFile(sources + "Comm.jar", Utf8((destination / "").make_preferred())));
    }
    // The system's number, not one left by building the message.
    const long expected_error = c.failing ? kPartWayError : c.directory ? kTakenError : 0;
    EXPECT_EQ(error.substr(0, error.find(' ')), expected_error ? DecimalString(expected_error) : "no") << error;
    EXPECT_TRUE(!expected_error || error.find("Comm.jar:") != String::npos) << "names the file: " << error;
    const bool copied = !c.failing && c.existing == nullptr && !c.directory;
    EXPECT_EQ(Entries(destination), copied || c.existing || c.directory ? Vector<String>{"Comm.jar"}
                                                                         : Vector<String>{});
    EXPECT_EQ(fs::is_directory(destination / "Comm.jar"), c.directory);
    if (copied || c.existing) {
      std::ifstream file(destination / "Comm.jar", std::ios::binary);
      EXPECT_EQ(String(std::istreambuf_iterator<char>(file), {}), copied ? "comm classes" : c.existing);
    }
#ifndef _WIN32
    if (copied) {
      EXPECT_EQ(static_cast<int>(fs::status(destination / "Comm.jar").permissions()), 0644)
          << "a source of mode 0666 under umask 022";
    }
#endif
  }
#ifndef _WIN32
  ::umask(previous_umask);
#endif
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tolvarin::platform
