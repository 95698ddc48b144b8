#ifndef TOLVARIN_PLATFORM_ERROR_H_
#define TOLVARIN_PLATFORM_ERROR_H_

#include <stdexcept>
#include <string>

namespace tolvarin::platform {

// Raised where a value cannot be taken as what it is asked to be (bytes as text, a version
// name as a number).
inline constexpr long kTypeMismatchError = 13;
inline constexpr char kTypeMismatchText[] = "Type mismatch";

// A failure as the launcher reports it: a number and a description, shown to the user
// as they stand. Platform failures carry the system's own error number (GetLastError or
// errno); the launcher's own errors use fixed numbers (1001 "Unsupported value type", ...).
class Error : public std::runtime_error {
 public:
  Error(long number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  long number() const noexcept { return number_; }
  std::string description() const { return what(); }

 private:
  long number_;
};

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_ERROR_H_
