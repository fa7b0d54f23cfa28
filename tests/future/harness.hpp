// The host side of the future tests: continuation records, the exports of
// each return type, and a computation the test advances by hand.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "ffi/future.hpp"

namespace harness {

namespace fut = qsdk::ffi::future;

// One poll's continuation as the host sees it.
struct Slot {
  std::atomic<int> calls{0};
  std::atomic<int> code{-1};
  std::uint64_t data() { return reinterpret_cast<std::uintptr_t>(this); }
};

inline void record(std::uint64_t data, std::int8_t code) {
  auto* slot = reinterpret_cast<Slot*>(static_cast<std::uintptr_t>(data));
  slot->code.store(code);
  slot->calls.fetch_add(1);  // last: a waiter may drop the slot once it sees this
}

// The four exports of return type T.
template <class T>
struct Exports;
#define QSDK_TEST_EXPORTS(suffix, T)                                                 \
  template <>                                                                        \
  struct Exports<T> {                                                                \
    static constexpr auto poll = &ffi_quorvel_sdk_uniffi_rust_future_poll_##suffix;         \
    static constexpr auto cancel = &ffi_quorvel_sdk_uniffi_rust_future_cancel_##suffix;     \
    static constexpr auto complete = &ffi_quorvel_sdk_uniffi_rust_future_complete_##suffix; \
    static constexpr auto free = &ffi_quorvel_sdk_uniffi_rust_future_free_##suffix;         \
  };
QSDK_FUTURE_RETURN_TYPES(QSDK_TEST_EXPORTS)
#undef QSDK_TEST_EXPORTS

template <class T>
void poll(std::uint64_t handle, Slot& slot) {
  Exports<T>::poll(handle, record, slot.data());
}

// A computation that stays pending, keeping its latest waker, until the test
// gives it a result.
template <class T>
class Gate : public std::enable_shared_from_this<Gate<T>> {
 public:
  using Hook = std::function<void(const fut::Waker&)>;

  std::uint64_t make_future() {
    return fut::make_future<T>([self = this->shared_from_this()](const fut::Waker& w) { return self->step(w); });
  }
  void finish(fut::Poll<T> result) {
    std::lock_guard lock(m_);
    result_ = std::move(result);
  }
  void wake() {
    std::optional<fut::Waker> w;
    {
      std::lock_guard lock(m_);
      w = waker_;
    }
    if (w) w->wake();
  }
  // Runs inside every later pending step, with the computation lock held.
  void during_step(Hook hook) {
    std::lock_guard lock(m_);
    hook_ = std::move(hook);
  }
  int steps() {
    std::lock_guard lock(m_);
    return steps_;
  }
  // Drops the kept waker, the computation's last hold on its future.
  void forget_waker() {
    std::lock_guard lock(m_);
    waker_.reset();
  }

 private:
  fut::Poll<T> step(const fut::Waker& w) {
    Hook hook;
    {
      std::lock_guard lock(m_);
      ++steps_;
      if (result_) return std::exchange(result_, std::nullopt).value();
      waker_ = w;
      hook = hook_;
    }
    if (hook) hook(w);
    return fut::Pending{};
  }

  std::mutex m_;
  std::optional<fut::Poll<T>> result_;
  std::optional<fut::Waker> waker_;
  Hook hook_;
  int steps_ = 0;
};

template <class T>
std::shared_ptr<Gate<T>> gate() {
  return std::make_shared<Gate<T>>();
}

}  // namespace harness
