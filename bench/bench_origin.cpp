// normalize_origin through the C interface; it wraps no cryptographic
// primitive, so it is measured beside a plain copy of its argument.
#include <benchmark/benchmark.h>

#include "ffi/host.hpp"

namespace {

void BM_normalize_origin(benchmark::State& state) {
  auto* fn = host::lib().op<RustBuffer(RustBuffer, RustCallStatus*)>("normalize_origin");
  for (auto _ : state) {
    host::Status st;
    RustBuffer out = fn(host::text("https://Wallet.Example:443/"), &st);
    host::free_buffer(out);
  }
}
BENCHMARK(BM_normalize_origin);

void BM_floor_buffer_roundtrip(benchmark::State& state) {
  for (auto _ : state) host::free_buffer(host::text("https://Wallet.Example:443/"));
}
BENCHMARK(BM_floor_buffer_roundtrip);

}  // namespace
