#ifndef TOLVARIN_JAVARUNTIME_SUPPORT_LOCATION_H_
#define TOLVARIN_JAVARUNTIME_SUPPORT_LOCATION_H_

#include "platform/text.h"

// Where this platform keeps the serial-port support files, and how its paths are joined.
// One implementation per platform: support_location_win32.cpp, support_location_posix.cpp.

namespace tolvarin::javaruntime {

// The separator that joins a runtime's home to its lib, ext and bin directories:
// '\\' on Windows, '/' on POSIX.
extern const char kPathSeparator;

// Environment variable that moves the POSIX source directory (tests, demos).
inline constexpr char kSupportDirVariable[] = "TOLVARIN_SUPPORT_DIR";

// The directory the support files are copied from, ending in kPathSeparator.
// Windows: always "C:\quarvel\GsmModemJar\".
// POSIX: the value of TOLVARIN_SUPPORT_DIR when it is set and not empty ('/' is added
// when it lacks one), otherwise "/opt/quarvel/GsmModemJar/". It holds the same three
// files as on Windows: Comm.jar, javax.comm.properties and Win32com.dll.
// Never throws.
String SupportSourceDirectory();

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_SUPPORT_LOCATION_H_
