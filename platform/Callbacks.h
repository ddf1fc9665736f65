// Object-bound callbacks: a function together with the context it is called on.
//
// TMethod<R(A...)> holds two pointers, the code and the context, exactly like
// the C form that crosses the lemmatiser's boundary (TQNMethod in the public
// header), so the two convert into each other without a thunk. It never owns
// its context: whoever binds a callback keeps the bound object alive for as
// long as the callback is installed. A callback is "assigned" when its code
// part is set.
#pragma once

#include <utility>

namespace qn::platform {

template <typename Signature>
class TMethod;

template <typename R, typename... Args>
class TMethod<R(Args...)> {
 public:
  // The code part: called with the context first, then the arguments.
  using Code = R (*)(void* context, Args...);

  constexpr TMethod() noexcept = default;
  constexpr TMethod(Code code, void* context) noexcept : fCode(code), fContext(context) {}

  // Binds a member function: TMethod<void()>::Bind<&TFoo::Bar>(foo).
  template <auto Member, typename T>
  static TMethod Bind(T* object) noexcept {
    return TMethod(
        [](void* context, Args... args) -> R {
          return (static_cast<T*>(context)->*Member)(std::forward<Args>(args)...);
        },
        object);
  }

  // Binds a callable object (a lambda, a functor) by reference; the callable
  // must outlive the callback.
  template <typename F>
  static TMethod FromCallable(F& callable) noexcept {
    return TMethod(
        [](void* context, Args... args) -> R {
          return (*static_cast<F*>(context))(std::forward<Args>(args)...);
        },
        &callable);
  }

  constexpr bool Assigned() const noexcept { return fCode != nullptr; }
  constexpr void Clear() noexcept {
    fCode = nullptr;
    fContext = nullptr;
  }
  constexpr Code code() const noexcept { return fCode; }
  constexpr void* context() const noexcept { return fContext; }

  // Calls the callback; the caller checks Assigned() first where the callback
  // is optional.
  R operator()(Args... args) const { return fCode(fContext, std::forward<Args>(args)...); }

  friend constexpr bool operator==(const TMethod& a, const TMethod& b) noexcept {
    return a.fCode == b.fCode && a.fContext == b.fContext;
  }

 private:
  Code fCode = nullptr;
  void* fContext = nullptr;
};

}  // namespace qn::platform
