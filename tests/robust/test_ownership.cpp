// Ownership on every failure path: each way an argument can fail to lift,
// each buffer that breaks the invariants, each refusal and the internal
// failures of the buffer functions. The call must consume every well-formed
// argument buffer and leave a broken one alone, and the caller frees only what
// it is handed back. Run under LeakSanitizer and valgrind, where a leak or an
// invalid access fails the run; where the allocator can be asked, the bytes
// in use are also compared before and after each call.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/valgrind.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ffi/host.hpp"
#include "ffi/interface.hpp"
#include "robust/catalogue.hpp"

// Under AddressSanitizer a failed allocation must come back as null, as it
// does from the C library, so that the out-of-memory path can be driven.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace robust {
namespace {

namespace iface = qsdk::ffi::iface;
using iface::Ty;

// ---------------------------------------------------------------------------
// Bytes in use, where the allocator can tell exactly.

std::optional<std::size_t> allocated_raw() {
  if (&__sanitizer_get_current_allocated_bytes != nullptr) return __sanitizer_get_current_allocated_bytes();
  if (RUNNING_ON_VALGRIND) return std::nullopt;  // its leak check at exit judges instead
  return mallinfo2().uordblks;
}

// The C library counts blocks parked in its per-thread cache as in use; the
// count is exact only with that cache off (GLIBC_TUNABLES=glibc.malloc.tcache_count=0).
bool counting_is_exact() {
  static const bool exact = [] {
    const auto before = allocated_raw();
    if (!before) return false;
    void* volatile p = std::malloc(4096);
    const auto during = allocated_raw();
    std::free(p);
    void* volatile q = std::malloc(48);
    std::free(q);
    return *during >= *before + 4096 && allocated_raw() == before;
  }();
  return exact;
}

// Runs `f` once to settle lazy initialisation, then again, and reports the
// growth of the bytes in use over the second run.
std::optional<long long> growth(const std::function<void()>& f) {
  f();
  if (!counting_is_exact()) return std::nullopt;
  const auto before = allocated_raw();
  f();
  return static_cast<long long>(*allocated_raw()) - static_cast<long long>(*before);
}

void expect_no_growth(const std::function<void()>& f, const std::string& what) {
  if (const auto g = growth(f)) {
    EXPECT_EQ(*g, 0) << what << ": an argument or result buffer was not released";
  }
}

// ---------------------------------------------------------------------------
// Malformed arguments, per declared type.

struct Malformed {
  std::string label;
  Arg arg;
  std::string reason;  // empty: any reason (the UTF-8 decoder's text)
};

Bytes bytes_of(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
  return b;
}

std::vector<Malformed> malformed(Ty t) {
  const auto not_enough = [](int remaining, int needed) {
    return "not enough bytes remaining in buffer (" + std::to_string(remaining) + " < " + std::to_string(needed) + ")";
  };
  const std::string junk = "junk data left in buffer after lifting (count: 1)";
  const std::string negative = "out of range integral type conversion attempted";
  const std::string tag = "unexpected tag byte for Option";
  switch (t) {
    case Ty::Bool:
      return {{"two", Arg::flag(2), "unexpected byte for Boolean"}, {"minus one", Arg::flag(-1), "unexpected byte for Boolean"}};
    case Ty::String:
      return {{"invalid UTF-8", Arg::raw(bytes_of({'a', 0xff})), ""}, {"surrogate", Arg::raw(bytes_of({0xed, 0xa0, 0x80})), ""}};
    case Ty::Bytes:
      return {{"empty", Arg::raw({}), not_enough(0, 4)},
              {"short", Arg::raw(bytes_of({0, 0, 0, 4, 1, 2, 3})), not_enough(0, 1)},
              {"junk", Arg::raw(bytes_of({0, 0, 0, 1, 1, 2})), junk},
              {"negative", Arg::raw(bytes_of({0xff, 0xff, 0xff, 0xff})), negative}};
    case Ty::OptString:
      return {{"empty", Arg::raw({}), not_enough(0, 1)},
              {"bad tag", Arg::raw(bytes_of({2})), tag},
              {"junk", Arg::raw(bytes_of({0, 0})), junk},
              {"negative", Arg::raw(bytes_of({1, 0x80, 0, 0, 0})), negative},
              {"short text", Arg::raw(bytes_of({1, 0, 0, 0, 5, 'a'})), not_enough(1, 5)},
              {"invalid UTF-8", Arg::raw(bytes_of({1, 0, 0, 0, 1, 0xff})), ""}};
    case Ty::Deed: {
      const Bytes good = host::deed_bytes({});
      Bytes truncated(good.begin(), good.end() - 1), junk_deed = good, bad_tag = good, bad_utf8 = good, neg = good;
      junk_deed.push_back(0);
      bad_tag.back() = 2;
      bad_utf8[5] = 0xff;  // first byte of `mode`
      neg[1] = 0x80;       // length of `mode`
      return {{"empty", Arg::raw({}), not_enough(0, 1)},   {"truncated", Arg::raw(truncated), not_enough(0, 1)},
              {"junk", Arg::raw(junk_deed), junk},         {"bad tag", Arg::raw(bad_tag), tag},
              {"invalid UTF-8", Arg::raw(bad_utf8), ""},   {"negative", Arg::raw(neg), negative}};
    }
    default: return {};
  }
}

bool is_buffer(Ty t) { return t != Ty::U64 && t != Ty::Bool; }

// The accepted arguments of `op` with argument `j` replaced.
std::vector<Arg> with(std::size_t op, std::size_t j, Arg replacement) {
  std::vector<Arg> args = accepted(op).args;
  args.at(j) = std::move(replacement);
  return args;
}

TEST(Ownership, EveryLiftingFailureOfEveryArgumentReleasesTheOthers) {
  std::size_t driven = 0;
  for (std::size_t op = 0; op < op_count(); ++op) {
    const iface::Op& decl = iface::kOps[op];
    for (std::size_t j = 0; j < decl.argc; ++j) {
      for (const Malformed& m : malformed(decl.args[j].type)) {
        const std::string what = std::string(decl.name) + " / " + std::string(decl.args[j].name) + " / " + m.label;
        const std::string prefix = "Failed to convert arg '" + std::string(decl.args[j].name) + "':\n";
        const std::vector<Arg> args = with(op, j, m.arg);
        expect_no_growth([&] {
          const Outcome o = invoke(op, args);
          EXPECT_EQ(o.code, 2) << what;
          EXPECT_TRUE(o.value.empty()) << what;
          if (m.reason.empty()) {
            EXPECT_TRUE(o.message().starts_with(prefix) && o.message().size() > prefix.size()) << what << ": " << o.message();
          } else {
            EXPECT_EQ(o.message(), prefix + m.reason) << what;
          }
        }, what);
        ++driven;
      }
    }
  }
  EXPECT_GT(driven, 150u);
}

// Buffers that break the invariants: reported, never read, never released.
TEST(Ownership, BrokenBuffersAreReportedAndLeftAlone) {
  for (std::size_t op = 0; op < op_count(); ++op) {
    const iface::Op& decl = iface::kOps[op];
    for (std::size_t j = 0; j < decl.argc; ++j) {
      if (!is_buffer(decl.args[j].type)) continue;
      const std::string what = std::string(decl.name) + " / " + std::string(decl.args[j].name);
      // Freeing this array, or wiping it, would be caught: it lives on the stack.
      std::uint8_t stack[4] = {0xa1, 0xa2, 0xa3, 0xa4};
      const struct {
        RustBuffer buffer;
        const char* message;
      } broken[] = {
          {RustBuffer{5, 0, nullptr}, "null RustBuffer had non-zero capacity"},
          {RustBuffer{0, 5, nullptr}, "null RustBuffer had non-zero length"},
          {RustBuffer{2, 4, stack}, "RustBuffer length exceeds capacity"},
      };
      for (const auto& b : broken) {
        const std::vector<Arg> args = with(op, j, Arg::foreign_buffer(b.buffer));
        expect_no_growth([&] {
          const Outcome o = invoke(op, args);
          EXPECT_EQ(o.code, 2) << what;
          EXPECT_EQ(o.message(), b.message) << what;
        }, what + " / " + b.message);
      }
      EXPECT_EQ(Bytes(stack, stack + 4), bytes_of({0xa1, 0xa2, 0xa3, 0xa4})) << what;
    }
  }
}

TEST(Ownership, RefusalsAndSuccessesReleaseEveryArgument) {
  for (const Case& c : catalogue()) {
    const std::string what = std::string(op_name(c.op)) + " / " + c.label;
    expect_no_growth([&] {
      const Outcome o = invoke(c.op, c.args);
      if (c.expect != Expect::Sdk) return;
      ASSERT_EQ(o.code, 1) << what;
      host::Cursor e(o.error);
      const std::int32_t variant = e.i32();
      EXPECT_TRUE(variant == 1 || variant == 2) << what;
      EXPECT_FALSE(e.string().empty()) << what;
      EXPECT_TRUE(e.at_end()) << what;
    }, what);
  }
}

// A caller's buffer may have spare capacity (grown by reserve): the call
// still takes it over whole.
TEST(Ownership, ArgumentsWithSpareCapacityAreConsumed) {
  auto* reserve = host::lib().fn<RustBuffer(RustBuffer, std::uint64_t, RustCallStatus*)>(
      "ffi_quorvel_sdk_uniffi_rustbuffer_reserve");
  const std::size_t op = op_index("normalize_origin");
  expect_no_growth([&] {
    RustCallStatus st{};
    const RustBuffer grown = reserve(host::text(kOrigin), 100, &st);
    ASSERT_EQ(st.code, 0);
    ASSERT_GT(grown.capacity, grown.len);
    const Outcome o = invoke(op, {Arg::foreign_buffer(grown)});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(std::string(o.value.begin(), o.value.end()), kOrigin);
  }, "reserved argument");
}

// The buffer functions' own internal failures.
struct BufferCall {
  std::string what;
  std::function<void(RustCallStatus*)> call;
  std::string message;
};

TEST(Ownership, BufferFunctionFailuresLeaveNothingBehind) {
  auto& lib = host::lib();
  auto* alloc = lib.fn<RustBuffer(std::uint64_t, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_alloc");
  auto* from_bytes = lib.fn<RustBuffer(ForeignBytes, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  auto* free_fn = lib.fn<void(RustBuffer, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  auto* reserve = lib.fn<RustBuffer(RustBuffer, std::uint64_t, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_reserve");
  std::uint8_t stack[4] = {1, 2, 3, 4};
  const auto zero = [](RustBuffer b) { EXPECT_TRUE(b.data == nullptr && b.len == 0 && b.capacity == 0); };
  const std::vector<BufferCall> calls = {
      {"alloc beyond the address range", [&](RustCallStatus* st) { zero(alloc(1ull << 63, st)); }, "capacity overflow"},
      {"alloc that cannot be met", [&](RustCallStatus* st) { zero(alloc(1ull << 62, st)); }, "memory allocation failed"},
      {"from_bytes null with length", [&](RustCallStatus* st) { zero(from_bytes(ForeignBytes{3, nullptr}, st)); },
       "null ForeignBytes had non-zero length"},
      {"from_bytes negative", [&](RustCallStatus* st) { zero(from_bytes(ForeignBytes{-1, stack}, st)); },
       "bytes length negative or overflowed"},
      {"free of len over capacity", [&](RustCallStatus* st) { free_fn(RustBuffer{2, 4, stack}, st); },
       "RustBuffer length exceeds capacity"},
      {"free of null with capacity", [&](RustCallStatus* st) { free_fn(RustBuffer{5, 0, nullptr}, st); },
       "null RustBuffer had non-zero capacity"},
      {"reserve past 64 bits", [&](RustCallStatus* st) { zero(reserve(host::text("abc"), ~0ull, st)); },
       "capacity overflow"},
      {"reserve of a broken buffer", [&](RustCallStatus* st) { zero(reserve(RustBuffer{2, 4, stack}, 1, st)); },
       "RustBuffer length exceeds capacity"},
  };
  for (const BufferCall& c : calls) {
    expect_no_growth([&] {
      host::Status st;
      c.call(&st);
      EXPECT_EQ(st.code(), 2) << c.what;
      EXPECT_TRUE(st.internal_message().starts_with(c.message)) << c.what << ": " << st.internal_message();
    }, c.what);
  }
  EXPECT_EQ(Bytes(stack, stack + 4), bytes_of({1, 2, 3, 4}));
}

// An operation that runs out of memory half way: the frame reports the
// failure's own text as an internal failure and still releases the arguments.
// Driven in a child whose address space is capped just above what the call's
// arguments take; only the C library's allocator honours such a cap.
std::size_t address_space_in_use() {
  std::size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// One call that runs out of memory; 0 when it failed as it should.
int exhausted_call(std::size_t op, std::size_t size) {
  auto* alloc = host::lib().fn<RustBuffer(std::uint64_t, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_alloc");
  RustCallStatus st{};
  RustBuffer challenge = alloc(size, &st);
  if (st.code != 0) return 11;
  std::memset(challenge.data, 'c', size);
  std::vector<Arg> args = accepted(op).args;
  args.at(3) = Arg::foreign_buffer(challenge);
  const Outcome o = invoke(op, args);
  if (o.code != 2 || !o.value.empty()) return 12;
  return o.message() == "std::bad_alloc" ? 0 : 13;
}

int exhaust_user_binding() {
  constexpr std::size_t kArg = 64u << 20;
  const std::size_t op = op_index("user_binding");
  invoke(op, accepted(op).args);  // settles lazy initialisation before the cap
  const rlimit cap{address_space_in_use() + 3 * kArg, RLIM_INFINITY};
  if (setrlimit(RLIMIT_AS, &cap) != 0) return 10;
  // The binding (64 MiB) and its hex form (128 MiB) cannot both fit. The
  // first failure leaves a few hundred bytes of run-time state set up once
  // per process; the second is measured.
  if (const int r = exhausted_call(op, kArg)) return r;
  const auto before = allocated_raw();
  if (const int r = exhausted_call(op, kArg)) return r;
  return allocated_raw() == before ? 0 : 14;
}

TEST(Ownership, OutOfMemoryInsideAnOperationReleasesTheArguments) {
  if (&__sanitizer_get_current_allocated_bytes != nullptr || !counting_is_exact())
    GTEST_SKIP() << "needs the C library's allocator, counting exactly";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(exhaust_user_binding());
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  // 12: no internal failure; 13: another message; 14: arguments not released.
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Guards the guard: the counter must see a buffer the caller forgets.
TEST(Ownership, CounterSeesAForgottenBuffer) {
  if (!counting_is_exact()) GTEST_SKIP() << "the allocator cannot report bytes in use here; the leak checker judges";
  std::vector<RustBuffer> kept;
  kept.reserve(2);
  const auto g = growth([&] { kept.push_back(host::text("forgotten")); });
  for (const RustBuffer& b : kept) host::free_buffer(b);
  ASSERT_TRUE(g.has_value());
  EXPECT_GT(*g, 0);
}

}  // namespace
}  // namespace robust
