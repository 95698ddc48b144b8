#ifndef TOLVARIN_TESTS_COMMON_ERROR_OF_H_
#define TOLVARIN_TESTS_COMMON_ERROR_OF_H_

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::testing {

// The failure in `result` (a platform::Outcome or platform::Result), as
// "<number> <description>"; "no error" when it succeeded.
template <typename R>
  requires requires(const R& r) { r.ok(); }
String ErrorOf(const R& result) {
  if (result.ok()) return "no error";
  return DecimalString(result.error().number()) + " " + result.error().description();
}

}  // namespace tolvarin::testing

#endif  // TOLVARIN_TESTS_COMMON_ERROR_OF_H_
