#ifndef TOLVARIN_PLATFORM_FUNCTION_H_
#define TOLVARIN_PLATFORM_FUNCTION_H_

#include <cstdlib>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace tolvarin {

template <typename Signature>
class Function;

namespace function_internal {
template <typename F>
inline constexpr bool kIsFunction = false;
template <typename Signature>
inline constexpr bool kIsFunction<Function<Signature>> = true;
}  // namespace function_internal

// A callable held by value, as std::function holds it but move-only. std::function reports a
// call of an empty one by throwing, and so brings the exception runtime into programs built
// without exceptions; calling an empty Function is a broken contract and aborts.
template <typename R, typename... Args>
class Function<R(Args...)> {
 public:
  Function() = default;
  Function(std::nullptr_t) {}  // NOLINT: as std::function's
  // Empty for a null function or member pointer or an empty Function, as std::function is.
  template <typename F>
    requires(!std::is_same_v<std::decay_t<F>, Function>) && std::is_invocable_r_v<R, F&, Args...>
  Function(F callable) {  // NOLINT: as std::function's
    if constexpr (std::is_pointer_v<F> || std::is_member_pointer_v<F> ||
                  function_internal::kIsFunction<F>) {
      if (!callable) return;
    }
    callable_ = std::make_unique<Holder<F>>(std::move(callable));
  }

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
    // A void Function discards what the callable returns, as std::function does.
    R Call(Args... args) override {
      if constexpr (std::is_void_v<R>) {
        std::invoke(callable, std::forward<Args>(args)...);
      } else {
        return std::invoke(callable, std::forward<Args>(args)...);
      }
    }
    F callable;
  };

  std::unique_ptr<Callable> callable_;
};

}  // namespace tolvarin

#endif  // TOLVARIN_PLATFORM_FUNCTION_H_
