#include "javaruntime/support_location.h"

#include <cstdlib>
#include <string>

namespace tolvarin::javaruntime {

extern const char kPathSeparator = '/';

std::string SupportSourceDirectory() {
  const char* const configured = std::getenv(kSupportDirVariable);
  if (configured == nullptr || *configured == '\0') return "/opt/quarvel/GsmModemJar/";
  std::string directory = configured;
  if (directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace tolvarin::javaruntime
