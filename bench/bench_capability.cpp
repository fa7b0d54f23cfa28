// Capability exports through the C interface, each beside SHA-256 over the
// same bytes in the same run: parent_ref_hash_link walking a 10-link chain and
// hashing one link that carries a 1 MiB grant list, and mint_capability_deed
// with that chain and with that grant list. The export's time minus the
// SHA-256 and buffer-copy floors is the JSON layer's share.
#include <benchmark/benchmark.h>
#include <openssl/sha.h>

#include <string>
#include <vector>

#include "ffi/host.hpp"

namespace {

using DelegateFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustBuffer,
                              std::uint64_t, RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);
using TextFn = RustBuffer(RustBuffer, RustCallStatus*);
using MintFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);

const std::string kLabel = "5d1a8c3f0b9e47d2a6c4e8f1b3d5a7c9e2f4a6b8c0d2e4f6a8b0c2d4e6f8a0b2";

std::string grant(std::size_t i) {
  return "{\"res\":\"calendar:team/" + std::to_string(i) +
         "\",\"act\":[\"read\",\"write\"],\"cav\":{\"exp\":1800000000,\"max_uses\":" + std::to_string(i % 97) +
         ",\"nb\":{\"scope\":\"work\",\"rate\":1.5,\"tags\":[\"a\",\"b\"]}}}";
}

std::string grant_list(std::size_t min_bytes) {
  std::string s = "[";
  for (std::size_t i = 0; s.size() < min_bytes; ++i) {
    if (i != 0) s += ',';
    s += grant(i);
  }
  return s + "]";
}

std::string text_of(RustBuffer out, host::Status& st) {
  if (st.code() != 0) throw std::runtime_error("export failed: " + st.internal_message());
  return host::take_text(out);
}

// A link as delegate returns it, chained to `parent`.
std::string make_link(std::size_t k, const std::string& grants, const std::string& parent) {
  auto* delegate = host::lib().op<DelegateFn>("delegate");
  host::Bytes pubkey;
  host::put_opt_string(pubkey, "03e601e3e51aa607860877406b408b4f974c7832a3bad19b541dc7b84503675e49");
  host::Status st;
  const RustBuffer out = delegate(
      42, host::text("secp256k1:agent-" + std::to_string(k)), host::text("secp256k1:agent-" + std::to_string(k + 1)),
      host::text(grants), 1800000000, host::text(kLabel), 3, host::text(parent), host::buffer(pubkey),
      host::text(std::string(128, 'a')), &st);
  return text_of(out, st);
}

std::string link_hash(const std::string& link) {
  auto* fn = host::lib().op<TextFn>("parent_ref_hash_link");
  host::Status st;
  return text_of(fn(host::text(link), &st), st);
}

struct Inputs {
  std::vector<std::string> links;  // a 10-link chain, three grants per link
  std::string chain;
  std::string small_grants;
  std::string big_grants;  // 1 MiB
  std::string big_link;    // one link carrying the 1 MiB grant list
  host::Bytes deed;

  Inputs() {
    small_grants = "[" + grant(0) + "," + grant(1) + "," + grant(2) + "]";
    std::string parent(64, '0');
    chain = "[";
    for (std::size_t k = 0; k < 10; ++k) {
      links.push_back(make_link(k, small_grants, parent));
      parent = link_hash(links.back());
      chain += (k == 0 ? "" : ",") + links.back();
    }
    chain += "]";
    big_grants = grant_list(1 << 20);
    big_link = make_link(0, big_grants, std::string(64, '0'));

    host::put_u8(deed, 1);
    host::put_string(deed, "user-sig");
    host::put_u64(deed, 42);
    host::put_string(deed, "a7c0ecbfe754ab86a508388fa8457ff2368c1e447fa3c9ff3ef8693652ac97e2");
    host::put_string(deed, "calendar.example");
    host::put_string(deed, "rp-challenge-7f3a");
    host::put_u64(deed, 1900000000);
    // pubkey and signature set, as on a user-sig deed
    for (int i = 0; i < 11; ++i)
      host::put_opt_string(deed, i == 2 || i == 3 ? std::optional<std::string>(std::string(66, 'b')) : std::nullopt);
  }
};

const Inputs& inputs() {
  static const Inputs in;
  return in;
}

void sha256(const std::string& s) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d);
  benchmark::DoNotOptimize(d);
}

void hash_links(benchmark::State& state, const std::vector<std::string>& links) {
  auto* fn = host::lib().op<TextFn>("parent_ref_hash_link");
  std::size_t bytes = 0;
  for (const auto& l : links) bytes += l.size();
  for (auto _ : state)
    for (const auto& l : links) {
      host::Status st;
      host::free_buffer(fn(host::text(l), &st));
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void sha256_of(benchmark::State& state, const std::vector<std::string>& texts) {
  std::size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();
  for (auto _ : state)
    for (const auto& t : texts) sha256(t);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The boundary's own cost: copying the texts into argument buffers and back.
void buffer_floor(benchmark::State& state, const std::vector<std::string>& texts) {
  std::size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();
  for (auto _ : state)
    for (const auto& t : texts) host::free_buffer(host::text(t));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void mint(benchmark::State& state, const std::string& grants, const std::string& chain) {
  auto* fn = host::lib().op<MintFn>("mint_capability_deed");
  for (auto _ : state) {
    host::Status st;
    host::free_buffer(fn(host::buffer(inputs().deed), host::text(grants), host::text(chain), &st));
    if (st.code() != 0) state.SkipWithError("mint failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (grants.size() + chain.size())));
}

void BM_parent_ref_hash_link_10_links(benchmark::State& s) { hash_links(s, inputs().links); }
void BM_sha256_10_links(benchmark::State& s) { sha256_of(s, inputs().links); }
void BM_parent_ref_hash_link_1MiB_grants(benchmark::State& s) { hash_links(s, {inputs().big_link}); }
void BM_sha256_1MiB_grants_link(benchmark::State& s) { sha256_of(s, {inputs().big_link}); }
void BM_floor_buffers_1MiB_grants_link(benchmark::State& s) { buffer_floor(s, {inputs().big_link}); }

void BM_mint_capability_deed_10_link_chain(benchmark::State& s) { mint(s, inputs().small_grants, inputs().chain); }
void BM_sha256_10_link_chain(benchmark::State& s) { sha256_of(s, {inputs().small_grants, inputs().chain}); }
void BM_mint_capability_deed_1MiB_grants(benchmark::State& s) { mint(s, inputs().big_grants, "[]"); }
void BM_sha256_1MiB_grants(benchmark::State& s) { sha256_of(s, {inputs().big_grants}); }
void BM_floor_buffers_1MiB_grants(benchmark::State& s) { buffer_floor(s, {inputs().big_grants}); }

BENCHMARK(BM_parent_ref_hash_link_10_links);
BENCHMARK(BM_sha256_10_links);
BENCHMARK(BM_parent_ref_hash_link_1MiB_grants)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_sha256_1MiB_grants_link)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_floor_buffers_1MiB_grants_link)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_mint_capability_deed_10_link_chain);
BENCHMARK(BM_sha256_10_link_chain);
BENCHMARK(BM_mint_capability_deed_1MiB_grants)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_sha256_1MiB_grants)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_floor_buffers_1MiB_grants)->Unit(benchmark::kMicrosecond);

}  // namespace
