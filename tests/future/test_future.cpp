// The future protocol as a host drives it: scheduler states, callback codes,
// outcomes of every return type, and the release of what the future owns.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "future/harness.hpp"

namespace {

using namespace harness;
using qsdk::ffi::SdkError;
using U64 = Exports<std::uint64_t>;

constexpr std::uint64_t kValue = 0x0123456789abcdefULL;

struct Status {
  RustCallStatus st{};
  Status() = default;
  Status(const Status&) = delete;
  ~Status() { qsdk::ffi::release(st.error_buf, qsdk::ffi::Wipe::No); }
  RustCallStatus* operator&() { return &st; }
  std::string text() const {
    return std::string(reinterpret_cast<const char*>(st.error_buf.data), static_cast<std::size_t>(st.error_buf.len));
  }
};

void expect_called_once(const Slot& s, int code) {
  EXPECT_EQ(s.calls.load(), 1);
  EXPECT_EQ(s.code.load(), code);
}

void expect_cancelled(const Status& st) {
  EXPECT_EQ(st.st.code, 3);
  EXPECT_EQ(st.st.error_buf.len, 0u);
  EXPECT_EQ(st.st.error_buf.capacity, 0u);
}

// Deadlocks cannot be failed cleanly; stop the whole run instead of hanging.
template <class F>
void within_seconds(int seconds, F&& f) {
  auto done = std::async(std::launch::async, std::forward<F>(f));
  if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << "deadlock: the call did not return";
    std::fflush(nullptr);
    std::abort();
  }
  done.get();
}

TEST(FutureScheduler, PollAfterCancelIsReadyAtOnceAndCompleteReportsCancelled) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  U64::cancel(h);
  Slot s;
  poll<std::uint64_t>(h, s);
  expect_called_once(s, 0);
  EXPECT_EQ(g->steps(), 0) << "a cancelled future must not run its computation";
  Status st;
  EXPECT_EQ(U64::complete(h, &st), 0u);
  expect_cancelled(st);
  U64::free(h);
}

TEST(FutureScheduler, SecondPollWithoutWakeReleasesTheFirstContinuationWithReady) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Slot first, second, third;
  poll<std::uint64_t>(h, first);
  EXPECT_EQ(first.calls.load(), 0);
  poll<std::uint64_t>(h, second);
  expect_called_once(first, 0);
  EXPECT_EQ(second.calls.load(), 0);
  g->wake();
  expect_called_once(second, 1);
  g->finish(kValue);
  poll<std::uint64_t>(h, third);
  expect_called_once(third, 0);
  Status st;
  EXPECT_EQ(U64::complete(h, &st), kValue);
  EXPECT_EQ(st.st.code, 0);
  U64::free(h);
  EXPECT_EQ(first.calls.load() + second.calls.load() + third.calls.load(), 3);
}

TEST(FutureScheduler, WakeWithNothingStoredResumesTheNextPendingPollAtOnce) {
  struct Case {
    const char* name;
    bool wake_inside_step;
  };
  for (const Case& c : {Case{"wake between polls", false}, Case{"wake raised by the step itself", true}}) {
    SCOPED_TRACE(c.name);
    auto g = gate<std::uint64_t>();
    const auto h = g->make_future();
    Slot first, second, third;
    poll<std::uint64_t>(h, first);
    g->wake();
    expect_called_once(first, 1);
    if (c.wake_inside_step) g->during_step([](const fut::Waker& w) { w.wake(); });
    else g->wake();
    poll<std::uint64_t>(h, second);
    expect_called_once(second, 1);
    // The wake-up is used up: the next pending poll waits again.
    g->during_step(nullptr);
    poll<std::uint64_t>(h, third);
    EXPECT_EQ(third.calls.load(), 0);
    U64::free(h);
    expect_called_once(third, 0);
  }
}

TEST(FutureScheduler, CancelResumesTheStoredContinuationOnceAndLaterWakesDoNothing) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Slot stored, after;
  poll<std::uint64_t>(h, stored);
  U64::cancel(h);
  expect_called_once(stored, 0);
  g->wake();
  U64::cancel(h);
  EXPECT_EQ(stored.calls.load(), 1);
  poll<std::uint64_t>(h, after);
  expect_called_once(after, 0);
  EXPECT_EQ(g->steps(), 1);
  U64::free(h);
}

TEST(FutureScheduler, FreeResumesTheStoredContinuationAndReleasesTheComputation) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Slot stored;
  poll<std::uint64_t>(h, stored);
  const long holders = g.use_count();
  U64::free(h);
  expect_called_once(stored, 0);
  EXPECT_EQ(g.use_count(), holders - 1) << "free must drop the computation";
  // The kept waker still holds the object: waking it after free is harmless,
  // and dropping it destroys the object (the leak checker sees the rest).
  g->wake();
  EXPECT_EQ(stored.calls.load(), 1);
  g->forget_waker();
}

TEST(FutureOutcome, CompleteHandsTheValueOverOnce) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  g->finish(kValue);
  Slot s;
  poll<std::uint64_t>(h, s);
  expect_called_once(s, 0);
  U64::cancel(h);  // a finished outcome survives cancel
  Status first, second;
  EXPECT_EQ(U64::complete(h, &first), kValue);
  EXPECT_EQ(first.st.code, 0);
  EXPECT_EQ(U64::complete(h, &second), 0u);
  expect_cancelled(second);
  U64::free(h);
}

TEST(FutureOutcome, CompleteBeforeFinishingReportsCancelledAndEndsTheComputation) {
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Slot stored, later;
  poll<std::uint64_t>(h, stored);
  Status st;
  EXPECT_EQ(U64::complete(h, &st), 0u);
  expect_cancelled(st);
  g->finish(kValue);
  poll<std::uint64_t>(h, later);
  expect_called_once(later, 0);
  EXPECT_EQ(g->steps(), 1) << "a released computation must not run again";
  EXPECT_EQ(stored.calls.load(), 0);  // a ready poll leaves the stored continuation to free
  U64::free(h);
  expect_called_once(stored, 0);
}

TEST(FutureOutcome, FailuresAreCopiedIntoTheCallersStatus) {
  struct Case {
    const char* name;
    std::function<fut::Poll<std::uint64_t>()> outcome;
    int code;
    std::string error_bytes;
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"refusal", [] { return std::unexpected(SdkError::sdk("refused")); }, 1, "\0\0\0\1\0\0\0\7refused"s},
      {"insecure origin refusal",
       [] { return std::unexpected(SdkError{SdkError::Variant::InsecureOrigin, "http://x"}); }, 1,
       "\0\0\0\2\0\0\0\10http://x"s},
      {"internal failure", []() -> fut::Poll<std::uint64_t> { throw qsdk::ffi::InternalFailure("boom"); }, 2, "boom"},
      {"failure without text", []() -> fut::Poll<std::uint64_t> { throw std::runtime_error(""); }, 2, "Unknown panic!"},
      {"foreign exception", []() -> fut::Poll<std::uint64_t> { throw 7; }, 2, "Unknown panic!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto h = fut::make_future<std::uint64_t>([&c](const fut::Waker&) { return c.outcome(); });
    Slot s;
    poll<std::uint64_t>(h, s);
    expect_called_once(s, 0);
    Status st;
    EXPECT_EQ(U64::complete(h, &st), 0u);
    EXPECT_EQ(st.st.code, c.code);
    EXPECT_EQ(st.text(), c.error_bytes);
    U64::free(h);
  }
}

TEST(FutureOutcome, FreeReleasesOutcomesNobodyTook) {
  // Run under the leak checker: the buffers must not outlive the future.
  const auto value = fut::make_future<RustBuffer>(
      [](const fut::Waker&) -> fut::Poll<RustBuffer> { return qsdk::ffi::buffer_from(std::string_view("unclaimed")); });
  const auto failure = fut::make_future<RustBuffer>(
      [](const fut::Waker&) -> fut::Poll<RustBuffer> { return std::unexpected(SdkError::sdk("unclaimed")); });
  for (const auto h : {value, failure}) {
    Slot s;
    poll<RustBuffer>(h, s);
    expect_called_once(s, 0);
    Exports<RustBuffer>::free(h);
  }
}

TEST(FutureOutcome, CompleteThroughAnotherReturnTypesExportIsRefused) {
  const auto h = fut::make_future<std::uint16_t>([](const fut::Waker&) -> fut::Poll<std::uint16_t> { return 0xbeef; });
  Slot s;
  poll<std::uint16_t>(h, s);
  Status wrong, right;
  EXPECT_EQ(Exports<std::uint64_t>::complete(h, &wrong), 0u);
  EXPECT_EQ(wrong.st.code, 2);
  EXPECT_EQ(Exports<std::uint16_t>::complete(h, &right), 0xbeef) << "the refused call must leave the outcome";
  Exports<std::uint16_t>::free(h);
}

// Every member returns its value on success and its zero value on failure.
template <class T>
T sample() {
  if constexpr (std::is_same_v<T, RustBuffer>) return qsdk::ffi::buffer_from(std::string_view("sample"));
  else if constexpr (std::is_floating_point_v<T>) return static_cast<T>(-2.5);
  else if constexpr (std::is_signed_v<T>) return std::numeric_limits<T>::min();
  else return std::numeric_limits<T>::max();
}

template <class T>
void check_member() {
  for (const bool succeed : {true, false}) {
    SCOPED_TRACE(succeed ? "success" : "failure");
    const auto h = fut::make_future<T>([succeed](const fut::Waker&) -> fut::Poll<T> {
      if (!succeed) return std::unexpected(SdkError::sdk("no"));
      if constexpr (std::is_void_v<T>) return std::expected<void, SdkError>();
      else return sample<T>();
    });
    Slot s;
    poll<T>(h, s);
    expect_called_once(s, 0);
    Status st;
    if constexpr (std::is_void_v<T>) {
      Exports<T>::complete(h, &st);
    } else if constexpr (std::is_same_v<T, RustBuffer>) {
      const RustBuffer b = Exports<T>::complete(h, &st);
      const std::string got(reinterpret_cast<const char*>(b.data), static_cast<std::size_t>(b.len));
      if (succeed) {
        EXPECT_EQ(got, "sample");
      } else {
        EXPECT_TRUE(b.data == nullptr && b.len == 0 && b.capacity == 0);
      }
      qsdk::ffi::release(b, qsdk::ffi::Wipe::No);
    } else {
      const T got = Exports<T>::complete(h, &st);
      if (succeed) {
        EXPECT_EQ(got, sample<T>());
      } else {
        EXPECT_EQ(got, T{0});
        if constexpr (std::is_floating_point_v<T>) {
          EXPECT_FALSE(std::signbit(got));
        }
      }
    }
    EXPECT_EQ(st.st.code, succeed ? 0 : 1);
    Exports<T>::free(h);
  }
}

#define QSDK_MEMBER_TEST(suffix, T) \
  TEST(FutureMembers, suffix) { check_member<T>(); }
QSDK_FUTURE_RETURN_TYPES(QSDK_MEMBER_TEST)
#undef QSDK_MEMBER_TEST

// Continuations run with no lock of the future held, so a host may call
// back into the same future from inside one.
struct Reentry {
  std::uint64_t handle = 0;
  std::function<void()> action;
  Slot slot;
  static void callback(std::uint64_t data, std::int8_t code) {
    auto* r = reinterpret_cast<Reentry*>(static_cast<std::uintptr_t>(data));
    record(r->slot.data(), code);
    r->action();
  }
  std::uint64_t data() { return reinterpret_cast<std::uintptr_t>(this); }
};

TEST(FutureReentry, HostThatPollsAgainInsideTheContinuationReachesTheValue) {
  // The computation wakes itself on every step, as a computation that can
  // always make progress does; the host polls again right from the callback.
  int steps = 0;
  const auto h = fut::make_future<std::uint64_t>([&steps](const fut::Waker& w) -> fut::Poll<std::uint64_t> {
    if (++steps == 50) return kValue;
    w.wake();
    return fut::Pending{};
  });
  std::vector<std::int8_t> codes;
  Reentry r;
  r.handle = h;
  r.action = [&] {
    codes.push_back(static_cast<std::int8_t>(r.slot.code.load()));
    if (codes.back() == 1) U64::poll(h, Reentry::callback, r.data());
  };
  within_seconds(10, [&] { U64::poll(h, Reentry::callback, r.data()); });
  ASSERT_EQ(codes.size(), 50u);
  EXPECT_EQ(codes.back(), 0);
  Status st;
  EXPECT_EQ(U64::complete(h, &st), kValue);
  U64::free(h);
}

TEST(FutureReentry, WakeRaisedByTheStepResumesTheOlderContinuationAfterTheStep) {
  // A step that wakes while an older continuation is stored: that
  // continuation runs on the polling thread, and may complete the future.
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Reentry older;
  Status st;
  older.action = [&] { U64::complete(h, &st); };
  U64::poll(h, Reentry::callback, older.data());
  g->during_step([](const fut::Waker& w) { w.wake(); });
  Slot newer;
  within_seconds(10, [&] { poll<std::uint64_t>(h, newer); });
  expect_called_once(older.slot, 1);
  expect_cancelled(st);
  U64::free(h);
  expect_called_once(newer, 0);
}

TEST(FutureReentry, ContinuationCompletingWhileAnotherThreadStepsAndWakesDoesNotDeadlock) {
  // Thread A runs a step (computation lock held) that waits, then wakes
  // (scheduler lock). Meanwhile cancel resumes a continuation that lets the
  // step go on and then completes (computation lock). Were continuations
  // called under the scheduler lock, each side would hold what the other needs.
  auto g = gate<std::uint64_t>();
  const auto h = g->make_future();
  Reentry stored;
  U64::poll(h, Reentry::callback, stored.data());

  std::promise<void> entered, go_on;
  auto go_on_signal = go_on.get_future().share();
  g->during_step([&entered, go_on_signal](const fut::Waker& w) {
    entered.set_value();
    go_on_signal.wait();
    w.wake();
  });
  Slot stepping_poll;
  std::thread stepper([&] { poll<std::uint64_t>(h, stepping_poll); });
  entered.get_future().wait();

  Status st;
  stored.action = [&] {
    go_on.set_value();
    U64::complete(h, &st);
  };
  within_seconds(10, [&] { U64::cancel(h); });
  stepper.join();
  expect_called_once(stored.slot, 0);
  expect_called_once(stepping_poll, 0);
  expect_cancelled(st);
  U64::free(h);
}

}  // namespace
