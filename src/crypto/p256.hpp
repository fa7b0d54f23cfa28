// ECDSA verification over NIST P-256 (the ES256 primitive), through OpenSSL.
// Both halves validate their input explicitly before OpenSSL sees it: a key
// is refused unless it is an affine point of the curve with both coordinates
// below the field prime, and a signature unless r and s lie in [1, n - 1].
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "base/codec.hpp"
#include "crypto/hash.hpp"

namespace qsdk::core::p256 {

inline constexpr std::size_t kCoordinateSize = 32;
inline constexpr std::size_t kSignatureSize = 64;  // r ‖ s, big-endian

enum class Verdict {
  Valid,
  Malformed,  // not 64 bytes, or r or s outside [1, n - 1]
  Mismatch,   // well formed, but not a signature of this digest by this key
};

class PublicKey {
 public:
  // The point (x, y), each coordinate 32 big-endian bytes; nullopt unless it
  // is a point of the curve with both coordinates below the field prime.
  static std::optional<PublicKey> from_affine(ByteView x, ByteView y);

  // Standard ECDSA verification of a 64-byte r ‖ s over a SHA-256 digest.
  // A high s verifies like its low counterpart: ES256 does not normalise s.
  Verdict verify(ByteView signature, const Digest32& digest) const;

  PublicKey(PublicKey&&) noexcept;
  PublicKey& operator=(PublicKey&&) noexcept;
  ~PublicKey();

 private:
  struct Impl;
  explicit PublicKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace qsdk::core::p256
