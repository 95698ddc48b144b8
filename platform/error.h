#ifndef TOLVARIN_PLATFORM_ERROR_H_
#define TOLVARIN_PLATFORM_ERROR_H_

#include <cstdlib>
#include <optional>
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
// Failures are returned, never thrown: the Windows programs are built without exceptions, whose
// unwinder and tables were a third of each.
class Error {
 public:
  Error(long number, String description)
      : number_(number), description_(std::move(description)) {}

  long number() const noexcept { return number_; }
  const String& description() const noexcept { return description_; }

 private:
  long number_;
  String description_;
};

// What a step that can fail returns: success, or the failure that stopped it.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Error error) : error_(std::move(error)) {}  // NOLINT: `return Error(...)` reads best

  bool ok() const noexcept { return !error_.has_value(); }
  // Only when !ok(); aborts otherwise.
  const Error& error() const noexcept {
    if (!error_.has_value()) std::abort();
    return *error_;
  }

 private:
  std::optional<Error> error_;
};

// A value, or the failure that stands in its place. Reading the side that is absent is a broken
// contract and aborts, in every build: what it would read is garbage that a program running as
// administrator would act on.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}     // NOLINT: as a plain return
  Result(Error error) : error_(std::move(error)) {}  // NOLINT: as a plain return

  bool ok() const noexcept { return value_.has_value(); }
  // Only when ok().
  T& value() & noexcept { return Checked(value_); }
  const T& value() const& noexcept { return Checked(value_); }
  T&& value() && noexcept { return std::move(Checked(value_)); }
  T& operator*() & noexcept { return Checked(value_); }
  const T& operator*() const& noexcept { return Checked(value_); }
  T* operator->() noexcept { return &Checked(value_); }
  const T* operator->() const noexcept { return &Checked(value_); }
  // Only when !ok().
  const Error& error() const noexcept { return Checked(error_); }

 private:
  template <typename Side>
  static Side& Checked(std::optional<Side>& side) noexcept {
    if (!side.has_value()) std::abort();
    return *side;
  }
  template <typename Side>
  static const Side& Checked(const std::optional<Side>& side) noexcept {
    if (!side.has_value()) std::abort();
    return *side;
  }

  std::optional<T> value_;
  std::optional<Error> error_;
};

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_ERROR_H_
