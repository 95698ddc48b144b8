#ifndef TOLVARIN_JAVARUNTIME_JAVA_HOME_PATH_H_
#define TOLVARIN_JAVARUNTIME_JAVA_HOME_PATH_H_

#include "platform/text.h"

namespace tolvarin::javaruntime {

// The home directory of the chosen Java runtime, exactly as the registry gives it, or
// empty for "java" from the search path. Process-wide; written only by
// LocateJavaRuntime, read by the launch sequence.
extern String JavaHomePath;

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_JAVA_HOME_PATH_H_
