// Every operation called from eight threads at once: each of 10,000 calls
// must give, byte for byte, what the same call gives on one thread. Run under
// ThreadSanitizer too, where a data race fails the run by itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "ffi/host.hpp"
#include "robust/catalogue.hpp"

namespace robust {
namespace {

constexpr std::size_t kThreads = 8;
constexpr std::size_t kCalls = 10'000;

int code_of(Expect e) { return e == Expect::Ok ? 0 : e == Expect::Sdk ? 1 : 2; }

bool is_base64url(const std::string& s) {
  return std::ranges::all_of(s, [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

// A fresh PKCE pair cannot be compared with another; its shape can.
bool pkce_shaped(const Outcome& o) {
  if (o.code != 0) return false;
  host::Cursor c(o.value);
  const std::string verifier = c.string();
  const std::string challenge = c.string();
  return c.at_end() && verifier.size() == 43 && challenge.size() == 43 && is_base64url(verifier) &&
         is_base64url(challenge);
}

const std::size_t kPkce = op_index("generate_pkce");

bool matches(const Case& c, const Outcome& reference, const Outcome& got) {
  return c.op == kPkce ? pkce_shaped(got) : got == reference;
}

std::vector<Outcome> single_threaded_results() {
  std::vector<Outcome> out;
  for (const Case& c : catalogue()) out.push_back(invoke(c.op, c.args));
  return out;
}

TEST(Catalogue, CoversEveryOperationWithSuccessesAndRefusals) {
  const auto results = single_threaded_results();
  std::vector<int> successes(op_count()), refusals(op_count());
  for (std::size_t i = 0; i < catalogue().size(); ++i) {
    const Case& c = catalogue()[i];
    EXPECT_EQ(results[i].code, code_of(c.expect)) << op_name(c.op) << " / " << c.label << ": " << results[i].message();
    ++(results[i].code == 0 ? successes : refusals)[c.op];
  }
  const auto throws = [](std::size_t op) {
    return std::ranges::any_of(catalogue(), [&](const Case& c) { return c.op == op && c.expect == Expect::Sdk; });
  };
  for (std::size_t op = 0; op < op_count(); ++op) {
    EXPECT_GT(successes[op], 0) << op_name(op);
    if (throws(op)) {
      EXPECT_GT(refusals[op], 0) << op_name(op);
    }
  }
  EXPECT_TRUE(pkce_shaped(results[&accepted(kPkce) - catalogue().data()]));
}

TEST(Concurrency, EightThreadsGiveTheSingleThreadedResults) {
  const auto& cases = catalogue();
  const auto reference = single_threaded_results();
  // A stride coprime with the table's size interleaves operations, and
  // successes with failures, on every thread.
  std::size_t stride = 7;
  while (std::gcd(stride, cases.size()) != 1) ++stride;

  std::latch start(kThreads);
  std::atomic<std::size_t> successes{0}, failures{0}, mismatches{0};
  std::mutex first_mutex;
  std::string first_mismatch;
  const auto work = [&](std::size_t thread) {
    start.arrive_and_wait();
    for (std::size_t call = thread; call < kCalls; call += kThreads) {
      const std::size_t i = call * stride % cases.size();
      const Outcome got = invoke(cases[i].op, cases[i].args);
      ++(got.code == 0 ? successes : failures);
      if (matches(cases[i], reference[i], got)) continue;
      if (mismatches++ == 0) {
        std::lock_guard lock(first_mutex);
        first_mismatch = std::string(op_name(cases[i].op)) + " / " + cases[i].label + ": code " +
                         std::to_string(got.code) + " " + got.message();
      }
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (auto& th : threads) th.join();

  EXPECT_EQ(mismatches.load(), 0u) << "first: " << first_mismatch;
  EXPECT_EQ(successes + failures, kCalls);
  EXPECT_GT(successes.load(), kCalls / 4);
  EXPECT_GT(failures.load(), kCalls / 4);
}

}  // namespace
}  // namespace robust
