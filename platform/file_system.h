#ifndef TOLVARIN_PLATFORM_FILE_SYSTEM_H_
#define TOLVARIN_PLATFORM_FILE_SYSTEM_H_

// Note for Win32 sources: <windows.h> defines CopyFile as a macro. Include this header
// after it and #undef CopyFile, or the method below is renamed in that file alone.

#include <memory>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::platform {

// The two file operations the launcher needs. All paths are UTF-8 and used exactly as
// given: nothing is normalised, so a doubled separator stays doubled.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when `path` names an existing file; false when it names nothing, a directory,
  // or something that cannot be examined. Fails only for text that is not UTF-8 (Windows).
  virtual Result<bool> FileExists(const String& path) const = 0;

  // Copies the file `source` into the existing directory `destination_directory`, which
  // ends in a path separator, under the source's own file name. A file of that name is
  // never replaced: one that is there when the copy is published (it may have appeared
  // since the caller looked) is left as it is, and the call then changes nothing and
  // reports no error; anything FileExists does not count, a directory say, fails the copy
  // with the system's "already exists" error. The data is written to a temporary file in
  // that directory, flushed to disk and only then published under the name, so a copy that
  // fails leaves no file under the destination name and no temporary file behind. On
  // POSIX the copy takes the source's permission bits less the process's umask, as cp
  // does. Fails with the system's error number and a description naming the path concerned;
  // the source is never modified.
  virtual Outcome CopyFile(const String& source, const String& destination_directory) = 0;
};

// This platform's file system. Creating it cannot fail.
std::unique_ptr<FileSystem> MakeNativeFileSystem();

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_FILE_SYSTEM_H_
