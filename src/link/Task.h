#pragma once
// A minimal lazily started coroutine task. The caller that co_awaits a Task
// resumes when it finishes; destroying the outermost Task destroys the whole
// suspended chain, which is how a download that never finishes is cleaned up.
#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

namespace korima::link {

template <typename T = void>
class Task;

namespace detail {

struct FinalAwaiter {
  bool await_ready() const noexcept { return false; }
  template <typename P>
  std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
    auto next = h.promise().continuation;
    return next ? next : std::noop_coroutine();
  }
  void await_resume() const noexcept {}
};

struct PromiseBase {
  std::coroutine_handle<> continuation;
  std::exception_ptr error;
  std::suspend_always initial_suspend() const noexcept { return {}; }
  FinalAwaiter final_suspend() const noexcept { return {}; }
  void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename T>
struct Promise : PromiseBase {
  std::optional<T> value;
  Task<T> get_return_object();
  void return_value(T v) { value = std::move(v); }
  T Take() { return std::move(*value); }
};

template <>
struct Promise<void> : PromiseBase {
  Task<void> get_return_object();
  void return_void() {}
  void Take() {}
};

}  // namespace detail

template <typename T>
class [[nodiscard]] Task {
 public:
  using promise_type = detail::Promise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  explicit Task(Handle h) : h_(h) {}
  Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
  Task& operator=(Task&& o) noexcept {
    if (this != &o) { Reset(); h_ = std::exchange(o.h_, {}); }
    return *this;
  }
  ~Task() { Reset(); }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept {
    h_.promise().continuation = caller;
    return h_;
  }
  T await_resume() {
    if (h_.promise().error) std::rethrow_exception(h_.promise().error);
    return h_.promise().Take();
  }

  // For the outermost task: run it until its first suspension.
  void Start() { if (h_ && !h_.done()) h_.resume(); }
  bool Valid() const { return static_cast<bool>(h_); }
  bool Done() const { return !h_ || h_.done(); }

 private:
  void Reset() { if (h_) h_.destroy(); h_ = {}; }
  Handle h_;
};

namespace detail {
template <typename T>
Task<T> Promise<T>::get_return_object() { return Task<T>(Task<T>::Handle::from_promise(*this)); }
inline Task<void> Promise<void>::get_return_object() {
  return Task<void>(Task<void>::Handle::from_promise(*this));
}
}  // namespace detail

}  // namespace korima::link
