#include "javaruntime/java_home_path.h"

#include <string>

namespace tolvarin::javaruntime {

std::string JavaHomePath;

}  // namespace tolvarin::javaruntime
