// The scheduler of every future and the 48 future exports.
#include "ffi/future.hpp"

#include <span>

namespace qsdk::ffi::future {

Ref::Ref(FutureBase* f) noexcept : f_(f) {
  if (f_ != nullptr) f_->add_reference();
}

Ref::~Ref() {
  if (f_ != nullptr) f_->drop_reference();
}

void Waker::wake() const noexcept {
  if (ref_) ref_->wake();
}

FutureBase::Stepping::Stepping(FutureBase& f) noexcept : f_(f) {
  std::lock_guard lock(f_.scheduler_lock_);
  f_.stepping_thread_ = std::this_thread::get_id();
}

FutureBase::Stepping::~Stepping() {
  std::lock_guard lock(f_.scheduler_lock_);
  f_.stepping_thread_ = std::thread::id();
}

bool FutureBase::cancelled() noexcept {
  std::lock_guard lock(scheduler_lock_);
  return state_ == State::Cancelled;
}

void FutureBase::poll(Continuation c) noexcept {
  if (cancelled()) return Resumption{c, kReady}.run();
  const bool finished = advance();
  // A wake-up the step raised itself, held back until the step was over.
  if (auto woken = take_deferred()) woken->run();
  if (finished) return Resumption{c, kReady}.run();
  if (auto due = store(c)) due->run();
}

std::optional<Resumption> FutureBase::store(Continuation c) noexcept {
  std::lock_guard lock(scheduler_lock_);
  switch (state_) {
    case State::Empty:
      state_ = State::Stored;
      stored_ = c;
      return std::nullopt;
    case State::Woken:
      state_ = State::Empty;
      return Resumption{c, kMaybeReady};
    case State::Cancelled:
      return Resumption{c, kReady};
    case State::Stored:
      // Only the newest continuation can be resumed by a wake-up; the older
      // one is released so that its host-side waiter does not hang.
      return Resumption{std::exchange(stored_, c), kReady};
  }
  return std::nullopt;
}

std::optional<Resumption> FutureBase::take_deferred() noexcept {
  std::lock_guard lock(scheduler_lock_);
  return std::exchange(deferred_, std::nullopt);
}

void FutureBase::wake() noexcept {
  std::optional<Resumption> due;
  {
    std::lock_guard lock(scheduler_lock_);
    if (state_ == State::Empty) {
      state_ = State::Woken;
    } else if (state_ == State::Stored) {
      state_ = State::Empty;
      const Resumption r{std::exchange(stored_, {}), kMaybeReady};
      // The stepping thread holds the computation lock; a continuation run
      // here could call back into this future and block on it.
      if (stepping_thread_ == std::this_thread::get_id()) deferred_ = r;
      else due = r;
    }
  }
  if (due) due->run();
}

void FutureBase::cancel() noexcept {
  std::optional<Resumption> due;
  {
    std::lock_guard lock(scheduler_lock_);
    if (state_ == State::Stored) due = Resumption{std::exchange(stored_, {}), kReady};
    state_ = State::Cancelled;
  }
  if (due) due->run();
}

void FutureBase::free() noexcept {
  cancel();
  release_computation();
  drop_reference();  // the host's
}

namespace detail {

RustCallStatus internal_failure(std::string_view message) noexcept {
  RustCallStatus status{};
  report_internal(&status, message);
  return status;
}

RustCallStatus refusal(const SdkError& e) noexcept {
  RustCallStatus status{};
  report_error(&status, e);
  return status;
}

void write_cancelled(RustCallStatus* status) noexcept {
  if (status == nullptr) return;
  status->code = kCancelledStatus;
  // An empty buffer never allocates, so this cannot fail.
  status->error_buf = buffer_from(std::span<const std::uint8_t>{});
}

}  // namespace detail

void poll_future(std::uint64_t handle, Callback callback, std::uint64_t data) noexcept {
  const Ref held(from_handle(handle));
  if (held) held->poll({callback, data});
  else Resumption{{callback, data}, kReady}.run();
}

void cancel_future(std::uint64_t handle) noexcept {
  const Ref held(from_handle(handle));
  if (held) held->cancel();
}

void free_future(std::uint64_t handle) noexcept {
  const Ref held(from_handle(handle));
  if (held) held->free();
}

}  // namespace qsdk::ffi::future

// One generic body per verb; each export only names its return type.
#define QSDK_FUTURE_EXPORTS(suffix, T)                                                                    \
  QSDK_EXPORT void ffi_quorvel_sdk_uniffi_rust_future_poll_##suffix(                                     \
      uint64_t handle, UniffiRustFutureContinuationCallback callback, uint64_t callback_data) {           \
    ::qsdk::ffi::future::poll_future(handle, callback, callback_data);                                   \
  }                                                                                                      \
  QSDK_EXPORT void ffi_quorvel_sdk_uniffi_rust_future_cancel_##suffix(uint64_t handle) {                 \
    ::qsdk::ffi::future::cancel_future(handle);                                                          \
  }                                                                                                      \
  QSDK_EXPORT T ffi_quorvel_sdk_uniffi_rust_future_complete_##suffix(uint64_t handle, RustCallStatus* status) { \
    return ::qsdk::ffi::future::complete_future<T>(handle, status);                                      \
  }                                                                                                      \
  QSDK_EXPORT void ffi_quorvel_sdk_uniffi_rust_future_free_##suffix(uint64_t handle) {                   \
    ::qsdk::ffi::future::free_future(handle);                                                            \
  }

QSDK_FUTURE_RETURN_TYPES(QSDK_FUTURE_EXPORTS)
#undef QSDK_FUTURE_EXPORTS
