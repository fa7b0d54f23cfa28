// Many futures driven at once: host threads poll, waker threads wake from
// outside, partner threads cancel or complete at random moments, and the
// host frees while wake-ups are still in flight. Built under
// ThreadSanitizer as well, where it must report no race.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <random>
#include <thread>
#include <vector>

#include "future/harness.hpp"

namespace {

using namespace harness;
using Clock = std::chrono::steady_clock;
using U64 = Exports<std::uint64_t>;

constexpr auto kBudget = std::chrono::milliseconds(1500);
constexpr auto kPatience = std::chrono::seconds(10);
constexpr int kDrivers = 3;
constexpr int kWakerThreads = 2;
constexpr int kMaxRounds = 20000;

// Wakers handed out by pending steps, woken by the waker threads.
class WakeQueue {
 public:
  void push(const fut::Waker& w) {
    {
      std::lock_guard lock(m_);
      queue_.push_back(w);
    }
    cv_.notify_one();
  }
  // Wakes queued wakers until stopped; some twice, as a spurious wake-up.
  void serve(unsigned seed) {
    std::minstd_rand rng(seed);
    std::unique_lock lock(m_);
    while (true) {
      cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      const fut::Waker w = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      if (rng() % 4 == 0) std::this_thread::yield();
      w.wake();
      if (rng() % 8 == 0) w.wake();
      lock.lock();
    }
  }
  void stop() {
    {
      std::lock_guard lock(m_);
      stop_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<fut::Waker> queue_;
  bool stop_ = false;
};

bool wait_called(const Slot& s) {
  const auto deadline = Clock::now() + kPatience;
  while (s.calls.load() == 0) {
    if (Clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

enum class Partner { Idle, Cancel, Complete, CancelThenComplete };

struct Completed {
  int code;
  std::uint64_t value;
};

// One future from creation to free; returns false on a protocol violation.
bool drive_one(WakeQueue& wakes, std::uint64_t id, std::minstd_rand& rng, std::string& why) {
  const int steps_needed = 1 + static_cast<int>(rng() % 6);
  const bool self_waking = rng() % 5 == 0;
  auto steps = std::make_shared<std::atomic<int>>(0);
  const auto h = fut::make_future<std::uint64_t>([=, &wakes](const fut::Waker& w) -> fut::Poll<std::uint64_t> {
    if (steps->fetch_add(1) + 1 >= steps_needed) return id;
    if (self_waking) w.wake();
    else wakes.push(w);
    return fut::Pending{};
  });

  const auto partner_kind = static_cast<Partner>(rng() % 4);
  const unsigned partner_delay = rng() % 200;
  std::vector<Completed> completed;
  std::mutex completed_lock;
  auto complete = [&] {
    RustCallStatus st{};
    const std::uint64_t v = U64::complete(h, &st);
    qsdk::ffi::release(st.error_buf, qsdk::ffi::Wipe::No);
    std::lock_guard lock(completed_lock);
    completed.push_back({st.code, v});
  };
  std::thread partner([&] {
    for (unsigned i = 0; i < partner_delay; ++i) std::this_thread::yield();
    if (partner_kind == Partner::Cancel || partner_kind == Partner::CancelThenComplete) U64::cancel(h);
    if (partner_kind == Partner::Complete || partner_kind == Partner::CancelThenComplete) complete();
  });

  std::deque<Slot> slots;  // stable addresses; every one must be called once
  bool lost = false;
  while (true) {
    if (rng() % 6 == 0) poll<std::uint64_t>(h, slots.emplace_back());  // superseded at once
    Slot& s = slots.emplace_back();
    poll<std::uint64_t>(h, s);
    if (!wait_called(s)) {
      lost = true;
      break;
    }
    if (s.code.load() == 0) break;
  }
  partner.join();
  complete();
  U64::free(h);

  if (lost) return why = "a continuation was never called back", false;
  for (const Slot& s : slots)
    if (!wait_called(s) || s.calls.load() != 1) return why = "a continuation was not called exactly once", false;
  int values = 0;
  for (const Completed& c : completed) {
    if (c.code == 0) {
      ++values;
      if (c.value != id) return why = "complete returned another future's value", false;
    } else if (c.code != 3 || c.value != 0) {
      return why = "complete reported neither the value nor cancelled", false;
    }
  }
  if (values > 1) return why = "the value was handed over twice", false;
  if (partner_kind == Partner::Idle && values != 1) return why = "an undisturbed future lost its value", false;
  return true;
}

TEST(FutureStress, ConcurrentPollWakeCancelCompleteAndFree) {
  WakeQueue wakes;
  std::vector<std::thread> wakers;
  for (int i = 0; i < kWakerThreads; ++i) wakers.emplace_back([&wakes, i] { wakes.serve(1000u + i); });

  const auto end = Clock::now() + kBudget;
  std::atomic<std::uint64_t> next_id{1};
  std::atomic<int> rounds{0};
  std::mutex failure_lock;
  std::string failure;
  std::vector<std::thread> drivers;
  for (int d = 0; d < kDrivers; ++d) {
    drivers.emplace_back([&, d] {
      std::minstd_rand rng(77u + d);
      while (Clock::now() < end && rounds.fetch_add(1) < kMaxRounds) {
        std::string why;
        if (!drive_one(wakes, next_id.fetch_add(1), rng, why)) {
          std::lock_guard lock(failure_lock);
          failure = why;
          return;
        }
      }
    });
  }
  for (auto& t : drivers) t.join();
  wakes.stop();
  for (auto& t : wakers) t.join();
  RecordProperty("rounds", rounds.load());
  EXPECT_EQ(failure, "");
  EXPECT_GT(rounds.load(), kDrivers) << "the stress ran too few rounds to mean anything";
}

}  // namespace
