#include "javaruntime/support_location.h"

#include <string>

namespace tolvarin::javaruntime {

extern const char kPathSeparator = '\\';

std::string SupportSourceDirectory() { return "C:\\quarvel\\GsmModemJar\\"; }

}  // namespace tolvarin::javaruntime
