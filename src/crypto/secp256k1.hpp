// secp256k1 keys and signatures as Ethereum wallets use them: the EIP-191
// personal-message digest, deterministic low-s signing, signer recovery and
// addresses. Every curve operation goes through libsecp256k1.
#pragma once

#include <secp256k1.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "base/error.hpp"
#include "base/secret.hpp"
#include "crypto/hash.hpp"

namespace qsdk::core {

using Address = std::array<std::uint8_t, 20>;
using CompressedKey = std::array<std::uint8_t, 33>;
using UncompressedKey = std::array<std::uint8_t, 65>;
using PlainSignature = std::array<std::uint8_t, 64>;  // r || s
using RecoverableSignature = std::array<std::uint8_t, 65>;  // r || s || v

// A scalar 1 <= d <= n-1, wiped when the object ends.
class SecretKey {
 public:
  SecretKey(const SecretKey&) = default;
  SecretKey& operator=(const SecretKey&) = default;
  ~SecretKey() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }

  const std::array<std::uint8_t, 32>& bytes() const noexcept { return bytes_; }
  // 64 lower-case hex digits, big-endian, no prefix.
  SecretString hex() const;

 private:
  explicit SecretKey(const std::array<std::uint8_t, 32>& bytes) noexcept : bytes_(bytes) {}
  friend std::optional<SecretKey> secret_key_from_bytes(ByteView bytes);

  std::array<std::uint8_t, 32> bytes_;
};

// 24 to 32 big-endian bytes (shorter ones left-padded with zeros) whose value
// lies in [1, n-1]; anything else is refused and the caller names the error.
std::optional<SecretKey> secret_key_from_bytes(ByteView bytes);

// A point on the curve, never infinity. Callers see only its SEC 1 forms, so
// a key read compressed and the same key read uncompressed are equal.
class PublicKey {
 public:
  explicit PublicKey(const secp256k1_pubkey& native);

  const CompressedKey& compressed() const noexcept { return compressed_; }
  const UncompressedKey& uncompressed() const noexcept { return uncompressed_; }
  // The public key text: 66 lower-case hex digits of the compressed form.
  std::string compressed_hex() const { return hex_encode(compressed_); }
  const secp256k1_pubkey& native() const noexcept { return native_; }

  bool operator==(const PublicKey& o) const noexcept { return compressed_ == o.compressed_; }

 private:
  secp256k1_pubkey native_;
  CompressedKey compressed_;
  UncompressedKey uncompressed_;
};

// The 33-byte compressed (02/03) or 65-byte uncompressed (04) form of a point
// on the curve. Every other tag is refused, including the hybrid tags 06/07
// that libsecp256k1 itself would read and the x-only tag 05.
std::optional<PublicKey> public_key_from_sec1(ByteView bytes);

// k*G. Cannot fail for a valid secret key; an internal failure throws.
PublicKey public_key_of(const SecretKey& key);

// "crypto: signature error": the one failure of the signature primitives,
// which never says which check refused.
CoreError signature_error();

// Keccak-256 over 0x19 "Ethereum Signed Message:\n" <decimal length> message.
Digest32 eip191_hash(ByteView message);

struct DigestSignature {
  PlainSignature rs;
  int recovery_id = 0;
};

// ECDSA over a 32-byte digest taken as the message hash: RFC 6979 nonce,
// low s. Fails only with "crypto: signature error".
Result<DigestSignature> sign_digest(const SecretKey& key, const Digest32& digest);

// Personal sign with a raw key text: every leading "0x" is removed, then the
// hex is decoded ("input: " errors) and read as a secret key ("crypto: ").
// Returns "0x" and the 130 hex digits of r || s || 27+recovery id.
Result<std::string> eip191_sign(std::string_view secret_key_text, ByteView message);

// The key that made the 65-byte r || s || v over `digest`. Checks, in order:
// length, r and s range, recovery byte (0, 1, 27 or 28), recovery, then that
// s is low (s <= n/2).
Result<PublicKey> recover_signer_key(const Digest32& digest, ByteView signature);

// The address that signed `message` with EIP-191: recover_signer_key over
// eip191_hash(message), with its checks and errors.
Result<Address> eip191_recover(ByteView message, ByteView signature);

// The last 20 bytes of Keccak-256 over X || Y.
Address eth_address(const PublicKey& key);

// "0x" followed by 40 lower-case hex digits, no mixed-case checksum.
std::string address_text(const Address& address);


// A secret key from hex text, no prefix removed: decoder failures in `kind`,
// an unusable key as "crypto: signature error".
Result<SecretKey> secret_key_from_hex(ErrorKind kind, std::string_view text);

}  // namespace qsdk::core
