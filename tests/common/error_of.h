#ifndef TOLVARIN_TESTS_COMMON_ERROR_OF_H_
#define TOLVARIN_TESTS_COMMON_ERROR_OF_H_

#include <string>

#include "platform/error.h"

namespace tolvarin::testing {

// What `action` throws as platform::Error, as "<number> <description>"; "no error" when it
// returns. Any other exception passes through.
template <typename Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const platform::Error& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
  return "no error";
}

}  // namespace tolvarin::testing

#endif  // TOLVARIN_TESTS_COMMON_ERROR_OF_H_
