#include "javaruntime/support_location.h"

#include <cstdlib>

#include "platform/text.h"

namespace tolvarin::javaruntime {

extern const char kPathSeparator = '/';

String SupportSourceDirectory() {
  const char* const configured = std::getenv(kSupportDirVariable);
  if (configured == nullptr || *configured == '\0') return "/opt/quarvel/GsmModemJar/";
  String directory = configured;
  if (directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace tolvarin::javaruntime
