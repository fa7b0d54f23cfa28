// The deed exports through the C interface, each beside the bare
// libsecp256k1 or OpenSSL primitive it is built on, in the same run. Where an
// export necessarily does more than one primitive (a user-sig mint also
// derives the public key it publishes; recovery is followed by the
// verification that refuses high s), the composed floor is measured too.
#include <benchmark/benchmark.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <array>
#include <string>

#include "ffi/host.hpp"
#include "ffi/wallet.hpp"

namespace {

const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const std::string kOrigin = "https://rp.example";
constexpr std::array<std::uint8_t, 32> kKey = {0x4c, 0x08, 0x83, 0xa6, 0x91, 0x02, 0x93, 0x7d, 0x62, 0x31, 0x47,
                                               0x1b, 0x5d, 0xbb, 0x62, 0x04, 0xfe, 0x51, 0x29, 0x61, 0x70, 0x82,
                                               0x79, 0x2a, 0xe4, 0x68, 0xd0, 0x1a, 0x3f, 0x36, 0x23, 0x18};

// A context made once, outside the timed loop: the primitive alone.
struct Secp {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  ~Secp() { secp256k1_context_destroy(ctx); }
};

std::array<unsigned char, 32> digest_of(std::string_view s) {
  std::array<unsigned char, 32> d;
  SHA256(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d.data());
  return d;
}

template <class Fn>
Fn* op(const char* name) {
  return host::lib().op<Fn>(name);
}
#define QSDK_FN(name) op<decltype(uniffi_quorvel_sdk_uniffi_fn_func_##name)>(#name)

// ---- mint_user_deed: one signature (plus the public key it publishes)

void BM_mint_user_deed(benchmark::State& state) {
  auto* fn = QSDK_FN(mint_user_deed);
  for (auto _ : state) {
    host::Status st;
    host::free_buffer(fn(host::text(kKeyHex), 7, host::text("rp"), host::text(kOrigin), host::text("c1"), 99, &st));
  }
}
BENCHMARK(BM_mint_user_deed);

void BM_primitive_sign(benchmark::State& state) {
  Secp s;
  const auto digest = digest_of("quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://rp.example|challenge:c1|exp:99");
  secp256k1_ecdsa_signature sig;
  for (auto _ : state) benchmark::DoNotOptimize(secp256k1_ecdsa_sign(s.ctx, &sig, digest.data(), kKey.data(), nullptr, nullptr));
}
BENCHMARK(BM_primitive_sign);

void BM_floor_sign_and_pubkey(benchmark::State& state) {
  Secp s;
  const auto digest = digest_of("quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://rp.example|challenge:c1|exp:99");
  secp256k1_ecdsa_signature sig;
  secp256k1_pubkey pub;
  for (auto _ : state) {
    benchmark::DoNotOptimize(secp256k1_ecdsa_sign(s.ctx, &sig, digest.data(), kKey.data(), nullptr, nullptr));
    benchmark::DoNotOptimize(secp256k1_ec_pubkey_create(s.ctx, &pub, kKey.data()));
  }
}
BENCHMARK(BM_floor_sign_and_pubkey);

// ---- derive_app_key: HKDF, then one public key

void BM_derive_app_key(benchmark::State& state) {
  auto* fn = QSDK_FN(derive_app_key);
  const std::string seed(64, 'a');
  for (auto _ : state) {
    host::Status st;
    host::free_buffer(fn(host::text(seed), 7, host::text(kOrigin), &st));
  }
}
BENCHMARK(BM_derive_app_key);

void BM_primitive_pubkey_create(benchmark::State& state) {
  Secp s;
  secp256k1_pubkey pub;
  for (auto _ : state) benchmark::DoNotOptimize(secp256k1_ec_pubkey_create(s.ctx, &pub, kKey.data()));
}
BENCHMARK(BM_primitive_pubkey_create);

void BM_floor_hkdf_and_pubkey(benchmark::State& state) {
  Secp s;
  const std::array<unsigned char, 32> seed{}, zeros{};
  const std::string info = "tenant:7|origin:https://rp.example|ctr:0\x01";
  unsigned char prk[32], okm[32];
  unsigned int n = 0;
  secp256k1_pubkey pub;
  for (auto _ : state) {
    HMAC(EVP_sha256(), zeros.data(), 32, seed.data(), 32, prk, &n);
    HMAC(EVP_sha256(), prk, 32, reinterpret_cast<const unsigned char*>(info.data()), info.size(), okm, &n);
    benchmark::DoNotOptimize(secp256k1_ec_pubkey_create(s.ctx, &pub, okm));
  }
}
BENCHMARK(BM_floor_hkdf_and_pubkey);

// ---- mint_admin_deed: recovery, then the verification that refuses high s

const std::string kAdminBinding =
    "rp is requesting administrative access to your Quorvel tenant.\n\n"
    "Signing this message grants FULL ADMINISTRATIVE ACCESS to the tenant\n"
    "below. Only sign it if you are on rp right now \xE2\x80\x94 signing it on any\n"
    "other site lets that site's operator administer your tenant.\n\n"
    "Tenant: 7\nChallenge: c1\nExpires (unix seconds): 99\n\nquorvel-sovereign-admin-v1";

void BM_mint_admin_deed(benchmark::State& state) {
  auto* fn = QSDK_FN(mint_admin_deed);
  const auto sig = host::TestWallet(kKey).personal_sign(kAdminBinding);
  const std::string sig_hex = host::TestWallet::hex(sig.data(), sig.size());
  for (auto _ : state) {
    host::Status st;
    host::free_buffer(fn(host::text(sig_hex), 7, host::text("rp"), host::text("c1"), 99, &st));
    if (st.code() != 0) state.SkipWithError("mint_admin_deed failed");
  }
}
BENCHMARK(BM_mint_admin_deed);

struct Recoverable {
  Secp s;
  std::array<std::uint8_t, 32> digest = host::TestWallet::personal_digest(kAdminBinding);
  secp256k1_ecdsa_recoverable_signature sig;
  Recoverable() { (void)secp256k1_ecdsa_sign_recoverable(s.ctx, &sig, digest.data(), kKey.data(), nullptr, nullptr); }
};

void BM_primitive_recover(benchmark::State& state) {
  Recoverable r;
  secp256k1_pubkey pub;
  for (auto _ : state) benchmark::DoNotOptimize(secp256k1_ecdsa_recover(r.s.ctx, &pub, &r.sig, r.digest.data()));
}
BENCHMARK(BM_primitive_recover);

void BM_floor_recover_and_verify(benchmark::State& state) {
  Recoverable r;
  secp256k1_pubkey pub;
  secp256k1_ecdsa_signature plain;
  (void)secp256k1_ecdsa_recoverable_signature_convert(r.s.ctx, &plain, &r.sig);
  for (auto _ : state) {
    benchmark::DoNotOptimize(secp256k1_ecdsa_recover(r.s.ctx, &pub, &r.sig, r.digest.data()));
    benchmark::DoNotOptimize(secp256k1_ecdsa_verify(r.s.ctx, &plain, r.digest.data(), &pub));
  }
}
BENCHMARK(BM_floor_recover_and_verify);

// ---- user_sub: one SHA-256 (after reading the compressed point)

const std::string kPubHex = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";

void BM_user_sub(benchmark::State& state) {
  auto* fn = QSDK_FN(user_sub);
  for (auto _ : state) {
    host::Status st;
    host::free_buffer(fn(host::text(kPubHex), &st));
  }
}
BENCHMARK(BM_user_sub);

void BM_primitive_sha256(benchmark::State& state) {
  std::array<unsigned char, 62> input{};
  unsigned char out[32];
  for (auto _ : state) benchmark::DoNotOptimize(SHA256(input.data(), input.size(), out));
}
BENCHMARK(BM_primitive_sha256);

void BM_floor_parse_and_sha256(benchmark::State& state) {
  std::array<unsigned char, 33> point{};
  point[0] = 0x02;
  const std::string g = kPubHex.substr(2);
  for (std::size_t i = 0; i < 32; ++i) point[i + 1] = static_cast<unsigned char>(std::stoi(g.substr(2 * i, 2), nullptr, 16));
  secp256k1_pubkey pub;
  unsigned char out[32];
  for (auto _ : state) {
    benchmark::DoNotOptimize(secp256k1_ec_pubkey_parse(secp256k1_context_static, &pub, point.data(), point.size()));
    benchmark::DoNotOptimize(SHA256(point.data(), point.size(), out));
  }
}
BENCHMARK(BM_floor_parse_and_sha256);

}  // namespace
