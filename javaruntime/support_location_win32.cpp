#include "javaruntime/support_location.h"

#include "platform/text.h"

namespace tolvarin::javaruntime {

extern const char kPathSeparator = '\\';

String SupportSourceDirectory() { return "C:\\quarvel\\GsmModemJar\\"; }

}  // namespace tolvarin::javaruntime
