#include "table.hpp"

#include <openssl/sha.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <array>
#include <memory>
#include <stdexcept>
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

Floor recover_floor(const std::string& message, const std::string& signature_hex) {
  auto secp = std::make_shared<Secp>();
  std::array<unsigned char, 65> signature{};
  if (signature_hex.size() != 2 * signature.size()) throw std::runtime_error("benchmark setup: not a signature");
  for (std::size_t i = 0; i < signature.size(); ++i)
    signature[i] = static_cast<unsigned char>(std::stoi(signature_hex.substr(2 * i, 2), nullptr, 16));
  const int recid = signature[64] >= 27 ? signature[64] - 27 : signature[64];
  const auto digest = host::TestWallet::personal_digest(message);
  const auto step = [secp, signature, recid, digest] {
    secp256k1_ecdsa_recoverable_signature sig;
    secp256k1_pubkey pub;
    return secp256k1_ecdsa_recoverable_signature_parse_compact(secp->ctx, &sig, signature.data(), recid) == 1 &&
           secp256k1_ecdsa_recover(secp->ctx, &pub, &sig, digest.data()) == 1;
  };
  if (!step()) throw std::runtime_error("benchmark setup: the signature does not recover");
  return {"secp256k1 signature parse + recover (EIP-191 digest of " + std::to_string(message.size()) + " B)",
          [step] { benchmark::DoNotOptimize(step()); }};
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
