#include <windows.h>
// The interface's method is CopyFile; the system function is called as CopyFileW where meant.
#undef CopyFile

#include <memory>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::platform {
namespace {

using win32::DecimalText;
using win32::SystemError;
using win32::UniqueHandle;
using win32::Utf8ToWide;

constexpr DWORD kCopyBufferSize = 64 * 1024;
// Attempts at a free temporary name before giving up; others are left by killed copies.
constexpr int kTemporaryNameAttempts = 100;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

String FileName(const String& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == String::npos ? path : path.substr(separator + 1);
}

// A temporary file beside the copy's destination, deleted unless it was moved into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  // Creates a new file in `directory` (ending in a separator) with a name derived from
  // `name`. Fails, naming the directory, when none can be created.
  Outcome Create(const String& directory, const String& name) {
    Result<WString> stem = Utf8ToWide(directory + "~" + name);
    if (!stem.ok()) return stem.error();
    const WString base = *stem + L"." + DecimalText(::GetCurrentProcessId()) + L"-";
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !handle_.valid(); ++attempt) {
      path_ = base + DecimalText(attempt) + L".tmp";
      handle_.reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle_.valid()) {
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
      }
    }
    if (!handle_.valid()) {
      path_.clear();
      return SystemError(error, "Cannot create a file in " + directory);
    }
    return {};
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    handle_.reset();
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }

  HANDLE handle() const { return handle_.get(); }
  const WString& path() const { return path_; }

  // Closes the file; it stays on disk until this object ends or is released.
  bool Close() { return ::CloseHandle(handle_.release()) != FALSE; }

  // The file now lives under another name and is no longer ours to delete.
  void Release() { path_.clear(); }

 private:
  WString path_;
  UniqueHandle handle_;
};

Outcome WriteAll(HANDLE file, const char* data, DWORD size, const String& destination) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, data, size, &written, nullptr)) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot write " + destination);
    }
    data += written;
    size -= written;
  }
  return {};
}

Outcome CopyContent(HANDLE input, HANDLE output, const String& source,
                 const String& destination) {
  Vector<char> buffer(kCopyBufferSize);
  for (;;) {
    DWORD count = 0;
    // Any failure counts, ERROR_BROKEN_PIPE included: end of file is a success with 0 bytes.
    if (!::ReadFile(input, buffer.data(), kCopyBufferSize, &count, nullptr)) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot read " + source);
    }
    if (count == 0) return {};
    if (Outcome written = WriteAll(output, buffer.data(), count, destination); !written.ok()) {
      return written;
    }
  }
}

class Win32FileSystem final : public FileSystem {
 public:
  Result<bool> FileExists(const String& path) const override {
    const Result<WString> wide = Utf8ToWide(path);
    if (!wide.ok()) return wide.error();
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  Outcome CopyFile(const String& source, const String& destination_directory) override {
    const String name = FileName(source);
    if (name.empty() || destination_directory.empty() || !IsSeparator(destination_directory.back())) {
      return Error(ERROR_INVALID_PARAMETER,
                  "Cannot copy " + source + " to " + destination_directory +
                      ": a file must be copied into a directory ending in \\");
    }
    const String destination = destination_directory + name;

    const Result<WString> wide_source = Utf8ToWide(source);
    if (!wide_source.ok()) return wide_source.error();
    UniqueHandle input(::CreateFileW(wide_source->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input.valid()) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot read " + source);
    }

    TemporaryFile temporary;
    if (Outcome created = temporary.Create(destination_directory, name); !created.ok()) {
      return created;
    }
    if (Outcome copied = CopyContent(input.get(), temporary.handle(), source, destination);
        !copied.ok()) {
      return copied;
    }
    // Keep the source's modification time, as a system copy does; the data is what counts.
    FILETIME written;
    if (::GetFileTime(input.get(), nullptr, nullptr, &written)) {
      ::SetFileTime(temporary.handle(), nullptr, nullptr, &written);
    }
    if (!::FlushFileBuffers(temporary.handle()) || !temporary.Close()) {
      const DWORD error = ::GetLastError();
      return SystemError(error, "Cannot write " + destination);
    }

    // Without MOVEFILE_REPLACE_EXISTING the move fails when the destination exists; the
    // temporary file is then deleted with the temporary object.
    const Result<WString> published = Utf8ToWide(destination);
    if (!published.ok()) return published.error();
    if (!::MoveFileExW(temporary.path().c_str(), published->c_str(), MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = ::GetLastError();
      // A file there is present, left as it is; a directory there is no support file.
      if ((error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
        const Result<bool> present = FileExists(destination);
        if (present.ok() && *present) return {};
      }
      return SystemError(error, "Cannot create " + destination);
    }
    temporary.Release();
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace tolvarin::platform
