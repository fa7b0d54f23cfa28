// Hostile sizes: a 64 MiB text, a JSON text nested a million deep and a
// delegation chain of 100,000 links. Each runs in a child process, which must
// exit normally with the expected outcome; its peak resident memory must stay
// within 8 times the argument's size plus 64 MiB (bounds meaningful only
// without a sanitizer, whose shadow memory would dominate).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ffi/host.hpp"
#include "robust/catalogue.hpp"

namespace robust {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

constexpr std::size_t kMiB = 1024 * 1024;

// A text made of pieces, each repeated.
struct Piece {
  std::string_view text;
  std::size_t times = 1;
};
using Pieces = std::vector<Piece>;

std::size_t size_of(const Pieces& pieces) {
  std::size_t size = 0;
  for (const Piece& p : pieces) size += p.text.size() * p.times;
  return size;
}

// Written straight into a library buffer, so that the host holds one copy.
RustBuffer buffer_of(const Pieces& pieces) {
  auto* alloc = host::lib().fn<RustBuffer(std::uint64_t, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_alloc");
  RustCallStatus st{};
  RustBuffer b = alloc(size_of(pieces), &st);
  if (st.code != 0) std::abort();
  std::uint8_t* out = b.data;
  for (const Piece& p : pieces)
    for (std::size_t i = 0; i < p.times; ++i, out += p.text.size()) std::memcpy(out, p.text.data(), p.text.size());
  return b;
}

struct ChildRun {
  bool expected = false;  // exited normally, with an acceptable status code
  int code = -1;          // the call's status code
  std::size_t rss = 0;    // peak resident memory, bytes
};

// Runs `call` in a child process, which exits with the call's status code, or
// with 100 when the code is not one of `codes` or the call threw.
ChildRun in_child(const std::function<int()>& call, const std::vector<int>& codes) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    // Nothing may unwind back into the test runner's copy in the child.
    try {
      const int code = call();
      _exit(std::ranges::find(codes, code) != codes.end() ? code : 100);
    } catch (...) {
      _exit(100);
    }
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return {};
  const int code = WEXITSTATUS(status);
  return {code != 100, code, static_cast<std::size_t>(usage.ru_maxrss) * 1024};
}

// Calls an export whose result is a buffer; returns the status code.
template <class Fn, class... Args>
int call(const char* name, Args... args) {
  auto* fn = host::lib().op<Fn>(name);
  RustCallStatus st{};
  const RustBuffer out = fn(args..., &st);
  host::free_buffer(st.code == 0 ? out : st.error_buf);
  return st.code;
}

using TextFn = RustBuffer(RustBuffer, RustCallStatus*);
using BindingFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustBuffer,
                             std::uint64_t, RustBuffer, RustCallStatus*);
using UserBindingFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustCallStatus*);
using VerifyFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustCallStatus*);
using MintFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);

struct HostileCase {
  std::string what;
  Pieces pieces;                           // the hostile argument
  std::function<int(RustBuffer)> call;     // makes the call with it, returns the status code
  std::vector<int> codes;                  // acceptable status codes
};

void run(const HostileCase& c) {
  const std::size_t size = size_of(c.pieces);
  const ChildRun r = in_child([&] { return c.call(buffer_of(c.pieces)); }, c.codes);
  EXPECT_TRUE(r.expected) << c.what << ": crashed, or gave an unexpected status";
  const std::size_t bound = 8 * size + 64 * kMiB;
  std::printf("[ hostile  ] %-52s status %d  input %6.2f MiB  peak RSS %6.1f MiB  bound %4.0f MiB\n", c.what.c_str(),
              r.code, static_cast<double>(size) / kMiB, static_cast<double>(r.rss) / kMiB,
              static_cast<double>(bound) / kMiB);
  if (kMeasured) {
    EXPECT_LE(r.rss, bound) << c.what;
  }
}

constexpr std::size_t k64MiB = 64 * kMiB;
constexpr std::size_t kDeep = 1'000'000;
constexpr std::size_t kLinks = 100'000;

RustBuffer text(std::string_view s) { return host::text(s); }

TEST(HostileSizes, SixtyFourMebibyteTexts) {
  static const std::string link = link_json();
  const std::string head = link.substr(0, link.find("\"i\"") + 1);  // up to the opening quote of iss
  const std::string tail = link.substr(head.size() + 1);
  const std::vector<HostileCase> cases = {
      {"normalize_origin: 64 MiB host", {{"https://"}, {"a", k64MiB - 8}},
       [](RustBuffer b) { return call<TextFn>("normalize_origin", b); }, {0, 1}},
      {"user_binding: 64 MiB challenge", {{"c", k64MiB}},
       [](RustBuffer b) { return call<UserBindingFn>("user_binding", 7, text("rp"), text(kOrigin), b, 99); }, {0}},
      {"user_binding: 64 MiB origin", {{"https://"}, {"a", k64MiB - 8}},
       [](RustBuffer b) { return call<UserBindingFn>("user_binding", 7, text("rp"), b, text("c"), 99); }, {0, 1}},
      {"parent_ref_hash_link: link with a 64 MiB iss", {{head}, {"i", k64MiB}, {tail}},
       [](RustBuffer b) { return call<TextFn>("parent_ref_hash_link", b); }, {0}},
  };
  for (const auto& c : cases) run(c);
}

TEST(HostileSizes, MillionDeepJson) {
  const std::vector<HostileCase> cases = {
      {"delegation_binding: grants_json 1,000,000 arrays deep", {{"[", kDeep}, {"]", kDeep}},
       [](RustBuffer b) {
         return call<BindingFn>("delegation_binding", 7, text("i"), text("t"), b, 9, text(kLabel), 3, text(kParent));
       },
       {1}},
      {"verify_token_at: jwks_json 1,000,000 objects deep", {{"{\"keys\":", kDeep}, {"1"}, {"}", kDeep}},
       [](RustBuffer b) {
         return call<VerifyFn>("verify_token_at", text("a.b.c"), b, text("https://issuer.example"), text("client-1"), 1000);
       },
       {1}},
      {"parent_ref_hash_link: 1,000,000 levels, arrays and objects", {{"[{\"a\":", kDeep / 2}, {"0"}, {"}]", kDeep / 2}},
       [](RustBuffer b) { return call<TextFn>("parent_ref_hash_link", b); }, {1}},
  };
  for (const auto& c : cases) run(c);
}

TEST(HostileSizes, HundredThousandLinkChain) {
  static const std::string link = link_json();
  static const std::string next = "," + link;
  const HostileCase chain = {"mint_capability_deed: 100,000-link chain", {{"["}, {link}, {next, kLinks - 1}, {"]"}},
                             [](RustBuffer b) { return call<MintFn>("mint_capability_deed", host::buffer(host::deed_bytes({})), text("[]"), b); },
                             {0}};
  run(chain);
}

// One call's peak memory beside its JSON input: the child compares its peak
// before and after the call. The list is read straight into its canonical
// text, which is then lowered into the result: about twice the input.
TEST(HostileSizes, GrantListPeakMemoryGrowth) {
  if (!kMeasured) GTEST_SKIP() << "sanitizer shadow memory would dominate";
  static const std::string grant = R"({"res":"calendar:team/1","act":["read","write"],)"
                                   R"("cav":{"exp":1800000000,"max_uses":7,"nb":{"scope":"work","rate":1.5,"tags":["a","b"]}}},)";
  const Pieces pieces = {{"["}, {grant, 16 * kMiB / grant.size()}, {R"({"res":"r","act":[],"cav":{}}])"}};
  const std::size_t size = size_of(pieces);
  constexpr double kGrowthBound = 4;
  const auto peak = [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
  };
  const ChildRun r = in_child(
      [&] {
        const RustBuffer grants = buffer_of(pieces);
        const std::size_t before = peak();
        const int code = call<MintFn>("mint_capability_deed", host::buffer(host::deed_bytes({})), grants, text("[]"));
        const double growth = static_cast<double>(peak() - before) / static_cast<double>(size);
        std::printf("[ hostile  ] mint_capability_deed: %.2f MiB grant list, peak grows by %.2fx the input\n",
                    static_cast<double>(size) / kMiB, growth);
        std::fflush(stdout);
        return code == 0 && growth <= kGrowthBound ? 0 : 101;
      },
      {0});
  EXPECT_TRUE(r.expected) << "failed, or peak memory grew by more than " << kGrowthBound << "x the input";
}

}  // namespace
}  // namespace robust
