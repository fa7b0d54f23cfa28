// build_authorize_url through the C interface on a typical issuer, beside the
// cost of the six argument buffers alone.
#include <benchmark/benchmark.h>

#include "ffi/host.hpp"

namespace {

using AuthorizeFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer,
                               RustCallStatus*);

constexpr const char* kIssuer = "https://auth.quorvel.example/tenants/42/";
constexpr const char* kClientId = "app-7f3c2a";
constexpr const char* kRedirect = "https://app.example.com/oauth/callback";
constexpr const char* kState = "af0ifjsldkj-3c1e9b";
constexpr const char* kNonce = "n-0S6_WzA2Mj";
constexpr const char* kChallenge = "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM";

void BM_build_authorize_url(benchmark::State& state) {
  auto* fn = host::lib().op<AuthorizeFn>("build_authorize_url");
  for (auto _ : state) {
    host::Status st;
    RustBuffer out = fn(host::text(kIssuer), host::text(kClientId), host::text(kRedirect), host::text(kState),
                        host::text(kNonce), host::text(kChallenge), &st);
    host::free_buffer(out);
  }
}
BENCHMARK(BM_build_authorize_url);

void BM_build_authorize_url_idn_issuer(benchmark::State& state) {
  auto* fn = host::lib().op<AuthorizeFn>("build_authorize_url");
  for (auto _ : state) {
    host::Status st;
    RustBuffer out = fn(host::text("https://b\xc3\xbc" "cher.example/"), host::text(kClientId), host::text(kRedirect),
                        host::text(kState), host::text(kNonce), host::text(kChallenge), &st);
    host::free_buffer(out);
  }
}
BENCHMARK(BM_build_authorize_url_idn_issuer);

void BM_floor_six_argument_buffers(benchmark::State& state) {
  for (auto _ : state) {
    for (const char* s : {kIssuer, kClientId, kRedirect, kState, kNonce, kChallenge})
      host::free_buffer(host::text(s));
  }
}
BENCHMARK(BM_floor_six_argument_buffers);

}  // namespace
