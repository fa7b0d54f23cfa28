#include "table.hpp"

#include <cryptopp/keccak.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <array>
#include <memory>
#include <set>

#include "constants.hpp"
#include "ffi/wallet.hpp"

namespace bench {

bool add(std::vector<Row> rows) {
  static std::set<std::string> registered_floors;
  for (Row& row : rows) {
    const std::string label = row.floor ? row.floor->name : "";
    benchmark::RegisterBenchmark(("op/" + row.op).c_str(), [call = std::move(row.call), label](benchmark::State& s) {
      for (auto _ : s)
        if (!call()) {
          s.SkipWithError("the call failed");
          break;
        }
      s.SetLabel(label);
    });
    if (row.floor && registered_floors.insert(row.floor->name).second)
      benchmark::RegisterBenchmark(("floor/" + row.floor->name).c_str(), [step = std::move(row.floor->step)](
                                                                              benchmark::State& s) {
        for (auto _ : s) step();
      });
  }
  return true;
}

Floor sha256_floor(std::size_t bytes) {
  return {"SHA-256 of " + std::to_string(bytes) + " B", [input = std::string(bytes, 'q')] {
            unsigned char d[SHA256_DIGEST_LENGTH];
            SHA256(reinterpret_cast<const unsigned char*>(input.data()), input.size(), d);
            benchmark::DoNotOptimize(d);
          }};
}

Floor eip191_sign_floor(std::size_t bytes) {
  auto secp = std::make_shared<Secp>();
  return {"Keccak-256 of " + std::to_string(bytes) + " B + secp256k1 recoverable sign",
          [secp, message = std::string(bytes, 'q')] {
            const auto digest = host::TestWallet::personal_digest(message);
            secp256k1_ecdsa_recoverable_signature sig;
            benchmark::DoNotOptimize(
                secp256k1_ecdsa_sign_recoverable(secp->ctx, &sig, digest.data(), kKey.data(), nullptr, nullptr));
          }};
}

Floor eip191_recover_floor(std::size_t bytes) {
  auto secp = std::make_shared<Secp>();
  const std::string message(bytes, 'q');
  auto sig = std::make_shared<secp256k1_ecdsa_recoverable_signature>();
  const auto digest = host::TestWallet::personal_digest(message);
  (void)secp256k1_ecdsa_sign_recoverable(secp->ctx, sig.get(), digest.data(), kKey.data(), nullptr, nullptr);
  return {"Keccak-256 of " + std::to_string(bytes) + " B + secp256k1 recover + verify + address",
          [secp, sig, message] {
            const auto d = host::TestWallet::personal_digest(message);
            secp256k1_pubkey pub;
            secp256k1_ecdsa_signature plain;
            benchmark::DoNotOptimize(secp256k1_ecdsa_recover(secp->ctx, &pub, sig.get(), d.data()));
            (void)secp256k1_ecdsa_recoverable_signature_convert(secp->ctx, &plain, sig.get());
            benchmark::DoNotOptimize(secp256k1_ecdsa_verify(secp->ctx, &plain, d.data(), &pub));
            unsigned char point[65];
            std::size_t n = sizeof point;
            secp256k1_ec_pubkey_serialize(secp->ctx, point, &n, &pub, SECP256K1_EC_UNCOMPRESSED);
            CryptoPP::Keccak_256 keccak;
            keccak.Update(point + 1, 64);
            unsigned char address_hash[32];
            keccak.Final(address_hash);
            benchmark::DoNotOptimize(address_hash);
          }};
}

Floor buffer_floor(std::vector<std::string> texts) {
  std::size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();
  const std::string count = texts.size() == 1 ? "1 argument text" : std::to_string(texts.size()) + " argument texts";
  return {"copy " + count + " (" + std::to_string(bytes) + " B)",
          [texts = std::move(texts)] {
            for (const auto& t : texts) host::free_buffer(host::text(t));
          }};
}

host::Bytes byte_array(const host::Bytes& bytes) {
  host::Bytes out;
  // Sized up front: GCC 12 at -O3 follows the growth of the length prefix
  // into the copy and reports a false overread without it.
  out.reserve(4 + bytes.size());
  host::put_i32(out, static_cast<std::int32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

}  // namespace bench
