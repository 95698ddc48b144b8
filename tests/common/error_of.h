#ifndef TOLVARIN_TESTS_COMMON_ERROR_OF_H_
#define TOLVARIN_TESTS_COMMON_ERROR_OF_H_

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::testing {

// What `action` throws as platform::Error, as "<number> <description>"; "no error" when it
// returns. Any other exception passes through.
template <typename Action>
String ErrorOf(Action&& action) {
  try {
    action();
  } catch (const platform::Error& error) {
    return DecimalString(error.number()) + " " + error.description();
  }
  return "no error";
}

}  // namespace tolvarin::testing

#endif  // TOLVARIN_TESTS_COMMON_ERROR_OF_H_
