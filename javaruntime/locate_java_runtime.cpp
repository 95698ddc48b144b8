#include "javaruntime/locate_java_runtime.h"

#include "javaruntime/java_home_path.h"

namespace tolvarin::javaruntime {

void LocateJavaRuntime() { JavaHomePath.clear(); }

}  // namespace tolvarin::javaruntime
