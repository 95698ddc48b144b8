#ifndef TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_
#define TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_

namespace tolvarin::javaruntime {

// Chooses the Java runtime the server runs on and records its home in JavaHomePath.
// Until registry discovery is wired in, no runtime is chosen: JavaHomePath is left
// empty and the server starts with "java" from the search path. Never throws.
void LocateJavaRuntime();

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_
