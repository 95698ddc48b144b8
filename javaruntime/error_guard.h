#ifndef TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_
#define TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_

#include "platform/error.h"

namespace tolvarin::javaruntime {

// Runs `body`, which returns a platform::Outcome, under one guard: a failure stops it and is
// handed, as its description, to `handle`, and goes no further. Returns true when `body` ran
// to its end.
template <typename Body, typename Handler>
bool RunGuarded(Body&& body, Handler&& handle) {
  const platform::Outcome status = body();
  if (status.ok()) return true;
  handle(status.error().description());
  return false;
}

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_
