#ifndef TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_
#define TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_

#include <exception>

#include "platform/text.h"

namespace tolvarin::javaruntime {

// The description shown for a failure that carries none.
inline constexpr char kUnknownErrorText[] = "Unknown error";

// Runs `body` under one catch-all guard: an error it raises stops it and is handed, as its
// description, to `handle`, and goes no further. Returns true when `body` ran to its end.
// Throws only what `handle` throws.
template <typename Body, typename Handler>
bool RunGuarded(Body&& body, Handler&& handle) {
  try {
    body();
    return true;
  } catch (const std::exception& error) {
    handle(String(error.what()));
  } catch (...) {
    handle(String(kUnknownErrorText));
  }
  return false;
}

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_ERROR_GUARD_H_
