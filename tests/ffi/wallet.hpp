// A stand-in Ethereum wallet for interface tests: its own key, personal sign
// (EIP-191) and address, computed with libsecp256k1 and Crypto++ directly so
// that the library's results are checked against an independent signer.
#pragma once

#include <cryptopp/keccak.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class TestWallet {
 public:
  explicit TestWallet(const std::array<std::uint8_t, 32>& key) : key_(key) {
    ctx_ = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  }
  ~TestWallet() { secp256k1_context_destroy(ctx_); }
  TestWallet(const TestWallet&) = delete;

  // r || s || 27 + recovery id over Keccak-256("\x19Ethereum Signed Message:\n" len message).
  std::vector<std::uint8_t> personal_sign(std::string_view message) const {
    const auto digest = personal_digest(message);
    secp256k1_ecdsa_recoverable_signature sig;
    if (secp256k1_ecdsa_sign_recoverable(ctx_, &sig, digest.data(), key_.data(), nullptr, nullptr) != 1)
      throw std::runtime_error("wallet: signing failed");
    std::vector<std::uint8_t> out(65);
    int recid = 0;
    secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx_, out.data(), &recid, &sig);
    out[64] = static_cast<std::uint8_t>(27 + recid);
    return out;
  }

  static std::array<std::uint8_t, 32> personal_digest(std::string_view message) {
    const std::string prefix = "\x19" "Ethereum Signed Message:\n" + std::to_string(message.size());
    return keccak({prefix, message});
  }

  // "0x" and 40 lower-case hex digits.
  std::string address() const {
    secp256k1_pubkey pub;
    if (secp256k1_ec_pubkey_create(ctx_, &pub, key_.data()) != 1) throw std::runtime_error("wallet: bad key");
    unsigned char point[65];
    std::size_t n = sizeof point;
    secp256k1_ec_pubkey_serialize(ctx_, point, &n, &pub, SECP256K1_EC_UNCOMPRESSED);
    const auto h = keccak({std::string_view(reinterpret_cast<const char*>(point + 1), 64)});
    return "0x" + hex(h.data() + 12, 20);
  }

  static std::string hex(const std::uint8_t* p, std::size_t n) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
      s += digits[p[i] >> 4];
      s += digits[p[i] & 15];
    }
    return s;
  }

 private:
  static std::array<std::uint8_t, 32> keccak(std::initializer_list<std::string_view> parts) {
    CryptoPP::Keccak_256 k;
    for (auto p : parts) k.Update(reinterpret_cast<const CryptoPP::byte*>(p.data()), p.size());
    std::array<std::uint8_t, 32> out{};
    k.Final(out.data());
    return out;
  }

  std::array<std::uint8_t, 32> key_;
  secp256k1_context* ctx_;
};

}  // namespace host
