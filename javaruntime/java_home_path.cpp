#include "javaruntime/java_home_path.h"

#include "platform/text.h"

namespace tolvarin::javaruntime {

String JavaHomePath;

}  // namespace tolvarin::javaruntime
