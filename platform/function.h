#ifndef TOLVARIN_PLATFORM_FUNCTION_H_
#define TOLVARIN_PLATFORM_FUNCTION_H_

#include <cstdlib>
#include <memory>
#include <type_traits>
#include <utility>

namespace tolvarin {

template <typename Signature>
class Function;

// A callable held by value, as std::function holds it but move-only. std::function reports a
// call of an empty one by throwing, and so brings the exception runtime into programs built
// without exceptions; calling an empty Function is a broken contract and aborts.
template <typename R, typename... Args>
class Function<R(Args...)> {
 public:
  Function() = default;
  Function(std::nullptr_t) {}  // NOLINT: as std::function's
  template <typename F>
    requires(!std::is_same_v<std::decay_t<F>, Function>) && std::is_invocable_r_v<R, F&, Args...>
  Function(F callable)  // NOLINT: as std::function's
      : callable_(std::make_unique<Holder<F>>(std::move(callable))) {}

  explicit operator bool() const noexcept { return callable_ != nullptr; }

  R operator()(Args... args) const {
    if (callable_ == nullptr) std::abort();
    return callable_->Call(std::forward<Args>(args)...);
  }

 private:
  struct Callable {
    virtual ~Callable() = default;
    virtual R Call(Args... args) = 0;
  };
  template <typename F>
  struct Holder final : Callable {
    explicit Holder(F callable) : callable(std::move(callable)) {}
    R Call(Args... args) override { return callable(std::forward<Args>(args)...); }
    F callable;
  };

  std::unique_ptr<Callable> callable_;
};

}  // namespace tolvarin

#endif  // TOLVARIN_PLATFORM_FUNCTION_H_
