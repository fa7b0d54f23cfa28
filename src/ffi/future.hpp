// Futures: the asynchronous-call protocol of the C interface.
//
// A future wraps a computation that advances one step per poll. The host polls
// with a continuation (a C callback and its data value); the library calls the
// continuation back with 0 (ready: call complete) or 1 (maybe ready: poll
// again). Each future carries two locks: one around the computation and its
// outcome, one around the scheduler that holds the continuation. The only
// nesting is computation lock, then scheduler lock (a step that wakes its own
// future), and no continuation is ever called while either lock of its own
// future is held, so a continuation may call any export for that future
// without deadlocking.
//
// No operation of this interface is asynchronous; make_future is the
// library's own way to create a future, used by its tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <expected>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

#include "ffi/buffer.hpp"
#include "ffi/export.hpp"
#include "ffi/frame.hpp"

namespace qsdk::ffi::future {

// The return-type suffixes of the exports and the C type each complete returns.
#define QSDK_FUTURE_RETURN_TYPES(X) \
  X(u8, std::uint8_t)               \
  X(i8, std::int8_t)                \
  X(u16, std::uint16_t)             \
  X(i16, std::int16_t)              \
  X(u32, std::uint32_t)             \
  X(i32, std::int32_t)              \
  X(u64, std::uint64_t)             \
  X(i64, std::int64_t)              \
  X(f32, float)                     \
  X(f64, double)                    \
  X(rust_buffer, RustBuffer)        \
  X(void, void)

inline constexpr std::int8_t kReady = 0;
inline constexpr std::int8_t kMaybeReady = 1;
inline constexpr std::int8_t kCancelledStatus = 3;

using Callback = UniffiRustFutureContinuationCallback;

// What the host left with one poll; it is called back exactly once.
struct Continuation {
  Callback callback = nullptr;
  std::uint64_t data = 0;
};

// A continuation due to be called with a code once the locks are released.
struct Resumption {
  Continuation to;
  std::int8_t code;
  void run() const noexcept {
    if (to.callback != nullptr) to.callback(to.data, code);
  }
};

class FutureBase;

// One counted reference to a future; the object dies with the last one.
class Ref {
 public:
  explicit Ref(FutureBase* f) noexcept;
  Ref(const Ref& other) noexcept : Ref(other.f_) {}
  Ref(Ref&& other) noexcept : f_(std::exchange(other.f_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(f_, other.f_);
    return *this;
  }
  ~Ref();

  FutureBase* get() const noexcept { return f_; }
  FutureBase* operator->() const noexcept { return f_; }
  explicit operator bool() const noexcept { return f_ != nullptr; }

 private:
  FutureBase* f_;
};

// Handed to every step. The computation may keep copies and call wake() from
// any thread when it can make progress; each copy keeps the future alive.
class Waker {
 public:
  explicit Waker(FutureBase& f) noexcept : ref_(&f) {}
  void wake() const noexcept;

 private:
  Ref ref_;
};

// The scheduler, the reference count and the computation lock: everything
// that does not depend on the return type.
class FutureBase {
 public:
  FutureBase(const FutureBase&) = delete;
  FutureBase& operator=(const FutureBase&) = delete;
  virtual ~FutureBase() = default;

  void add_reference() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void drop_reference() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  void poll(Continuation c) noexcept;
  void cancel() noexcept;
  // Cancels, drops the computation and any outcome nobody took, then drops
  // the host's reference.
  void free() noexcept;
  void wake() noexcept;

 protected:
  FutureBase() = default;

  // Runs one step unless the computation has finished or been released;
  // true once it has. Called without the scheduler lock.
  virtual bool advance() noexcept = 0;
  virtual void release_computation() noexcept = 0;

  // Marks the current thread as running a step of this future, so that a
  // wake-up the step raises itself is delivered after the step, outside the
  // computation lock.
  class Stepping {
   public:
    explicit Stepping(FutureBase& f) noexcept;
    ~Stepping();
    Stepping(const Stepping&) = delete;
    Stepping& operator=(const Stepping&) = delete;

   private:
    FutureBase& f_;
  };

  std::mutex computation_lock_;

 private:
  enum class State { Empty, Woken, Cancelled, Stored };

  bool cancelled() noexcept;
  std::optional<Resumption> store(Continuation c) noexcept;
  std::optional<Resumption> take_deferred() noexcept;

  std::atomic<std::uint64_t> refs_{1};  // the host's, until free
  std::mutex scheduler_lock_;
  State state_ = State::Empty;
  Continuation stored_;
  std::thread::id stepping_thread_;
  std::optional<Resumption> deferred_;
};

struct Pending {};

// What one step yields: not yet, or the finished result. A step that throws
// finishes with an internal failure (status code 2) carrying the exception's
// message.
template <class T>
using Poll = std::variant<Pending, std::expected<T, SdkError>>;

template <class T>
using Step = std::move_only_function<Poll<T>(const Waker&)>;

namespace detail {

// The C value complete returns; void futures carry nothing.
template <class T>
using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

// A finished computation's result in its C form: the value, or the status
// (code 1 or 2) with its error buffer.
template <class T>
using Settled = std::expected<Value<T>, RustCallStatus>;

RustCallStatus internal_failure(std::string_view message) noexcept;
RustCallStatus refusal(const SdkError& e) noexcept;
void write_cancelled(RustCallStatus* status) noexcept;

// Releases the buffers of an outcome nobody will take. An error payload holds
// a message; a result may carry a secret, so it is wiped.
template <class T>
void discard(const std::optional<Settled<T>>& outcome) noexcept {
  if (!outcome) return;
  if (!*outcome) release(outcome->error().error_buf, Wipe::No);
  else if constexpr (std::is_same_v<T, RustBuffer>) release(**outcome, Wipe::Yes);
}

template <class T>
Settled<T> settle(std::expected<T, SdkError>&& r) {
  if (!r) return std::unexpected(refusal(r.error()));
  if constexpr (std::is_void_v<T>) return std::monostate{};
  else return std::move(*r);
}

}  // namespace detail

template <class T>
class Future final : public FutureBase {
 public:
  explicit Future(Step<T> step) : step_(std::move(step)) {}
  ~Future() override { detail::discard<T>(outcome_); }

  // Takes the outcome: the value, or the failure copied into status, or the
  // cancelled status when there is none. Drops the computation either way.
  detail::Value<T> complete(RustCallStatus* status) noexcept {
    const auto outcome = take().outcome;
    if (!outcome) {
      detail::write_cancelled(status);
      return {};
    }
    if (*outcome) return **outcome;
    if (status != nullptr) *status = outcome->error();
    else release(outcome->error().error_buf, Wipe::No);
    return {};
  }

 private:
  bool advance() noexcept override {
    Step<T> finished;  // destroyed after the lock is released
    std::lock_guard lock(computation_lock_);
    if (!step_) return true;
    auto result = run_step();
    if (!result) return false;
    outcome_ = std::move(*result);
    finished = std::exchange(step_, nullptr);
    return true;
  }

  std::optional<detail::Settled<T>> run_step() noexcept {
    Stepping stepping(*this);
    try {
      Poll<T> p = step_(Waker(*this));
      if (std::holds_alternative<Pending>(p)) return std::nullopt;
      return detail::settle<T>(std::get<1>(std::move(p)));
    } catch (const std::exception& e) {
      return std::unexpected(detail::internal_failure(*e.what() ? e.what() : "Unknown panic!"));
    } catch (...) {
      return std::unexpected(detail::internal_failure("Unknown panic!"));
    }
  }

  void release_computation() noexcept override { detail::discard<T>(take().outcome); }

  // Both are taken under the lock; the computation is destroyed only after
  // it is released, since its destructor may run arbitrary code (a wake-up).
  struct Taken {
    Step<T> step;
    std::optional<detail::Settled<T>> outcome;
  };
  Taken take() noexcept {
    std::lock_guard lock(computation_lock_);
    return {std::exchange(step_, nullptr), std::exchange(outcome_, std::nullopt)};
  }

  Step<T> step_;  // empty once finished or released
  std::optional<detail::Settled<T>> outcome_;
};

// The handle the host sees is the object's address.
inline std::uint64_t handle_of(FutureBase* f) noexcept { return reinterpret_cast<std::uintptr_t>(f); }
inline FutureBase* from_handle(std::uint64_t handle) noexcept {
  return reinterpret_cast<FutureBase*>(static_cast<std::uintptr_t>(handle));
}

// Creates a future around a computation; the returned handle carries the
// host's reference, released by the matching free export.
template <class T>
std::uint64_t make_future(Step<T> step) {
  return handle_of(new Future<T>(std::move(step)));
}

// The bodies of the exports. A handle of 0 names no future: poll reports
// ready, complete reports cancelled, cancel and free do nothing.
void poll_future(std::uint64_t handle, Callback callback, std::uint64_t data) noexcept;
void cancel_future(std::uint64_t handle) noexcept;
void free_future(std::uint64_t handle) noexcept;

template <class T>
T complete_future(std::uint64_t handle, RustCallStatus* status) noexcept {
  const Ref held(from_handle(handle));
  auto* typed = dynamic_cast<Future<T>*>(held.get());
  detail::Value<T> value{};
  if (!held) {
    detail::write_cancelled(status);
  } else if (typed == nullptr) {
    // Completing with another member's export would reinterpret the outcome.
    if (status != nullptr) *status = detail::internal_failure("future completed through the export of another return type");
  } else {
    value = typed->complete(status);
  }
  if constexpr (!std::is_void_v<T>) return value;
}

}  // namespace qsdk::ffi::future
