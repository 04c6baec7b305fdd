#pragma once
// A piece of the upload run that may have to wait, written as a coroutine so the run reads as
// the sequence it is while its front end's loop does the waiting: a piece starts when awaited,
// and at every wait inside it the whole chain hands control back to whoever stepped the run
// (UploadRun::Step), to go on from there at the next step. Nothing here throws.
#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace lumar {

namespace run_step {

// Once a piece is done, the piece that awaited it goes on; the outermost one returns to the
// step that resumed it.
struct PromiseBase {
    std::coroutine_handle<> continuation = std::noop_coroutine();

    std::suspend_always initial_suspend() noexcept { return {}; }
    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <typename Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> done) noexcept {
            return done.promise().continuation;
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }
};

template <typename T>
struct Promise;

}  // namespace run_step

template <typename T = void>
class [[nodiscard]] RunStep {
  public:
    using promise_type = run_step::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    RunStep() = default;
    explicit RunStep(Handle handle) : handle_(handle) {}
    RunStep(RunStep&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    RunStep& operator=(RunStep&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    ~RunStep() {
        if (handle_) handle_.destroy();
    }

    [[nodiscard]] bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept {
        handle_.promise().continuation = caller;
        return handle_;
    }
    T await_resume() {
        if constexpr (!std::is_void_v<T>) return std::move(*handle_.promise().value);
    }

    // The outermost piece: runs it up to its first wait.
    void Begin() { handle_.resume(); }
    [[nodiscard]] bool Done() const { return !handle_ || handle_.done(); }

  private:
    Handle handle_;
};

namespace run_step {

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    RunStep<T> get_return_object() {
        return RunStep<T>(std::coroutine_handle<Promise>::from_promise(*this));
    }
    void return_value(T result) { value = std::move(result); }
};

template <>
struct Promise<void> : PromiseBase {
    RunStep<void> get_return_object() {
        return RunStep<void>(std::coroutine_handle<Promise>::from_promise(*this));
    }
    void return_void() {}
};

}  // namespace run_step

}  // namespace lumar
