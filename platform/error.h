#ifndef TOLVARIN_PLATFORM_ERROR_H_
#define TOLVARIN_PLATFORM_ERROR_H_

#include <exception>
#include <utility>

#include "platform/text.h"

namespace tolvarin::platform {

// Raised where a value cannot be taken as what it is asked to be (bytes as text, a version
// name as a number).
inline constexpr long kTypeMismatchError = 13;
inline constexpr char kTypeMismatchText[] = "Type mismatch";

// Raised where a caller passes what the callee's contract excludes (a layout out of order).
inline constexpr long kInvalidArgumentError = 5;

// A failure as the launcher reports it: a number and a description, shown to the user
// as they stand. Platform failures carry the system's own error number (GetLastError or
// errno); the launcher's own errors use fixed numbers (1001 "Unsupported value type", ...).
// It keeps its own text rather than deriving from std::runtime_error, whose copy-on-write
// string and exception family would come into every Windows program with it.
class Error : public std::exception {
 public:
  Error(long number, String description)
      : number_(number), description_(std::move(description)) {}

  long number() const noexcept { return number_; }
  const String& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  long number_;
  String description_;
};

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_ERROR_H_
