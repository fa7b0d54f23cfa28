// Helpers shared by the tests of the secp256k1 users: literal hex, the group
// order, and big-endian arithmetic for building out-of-range values.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "crypto/secp256k1.hpp"

namespace qsdk::core::testing {

inline Bytes unhex(std::string_view text) {
  auto b = hex_decode(text);
  if (!b) ADD_FAILURE() << "bad test hex: " << text;
  return b ? *b : Bytes{};
}

template <std::size_t N>
std::array<std::uint8_t, N> unhex_array(std::string_view text) {
  const Bytes b = unhex(text);
  std::array<std::uint8_t, N> out{};
  if (b.size() == N) std::copy(b.begin(), b.end(), out.begin());
  else ADD_FAILURE() << "expected " << N << " bytes: " << text;
  return out;
}

inline constexpr std::string_view kOrderHex = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";

// n - x for a 32-byte big-endian x < n: the high-s twin of a signature's s.
inline std::array<std::uint8_t, 32> order_minus(ByteView x) {
  const Bytes n = unhex(kOrderHex);
  std::array<std::uint8_t, 32> out{};
  int borrow = 0;
  for (int i = 31; i >= 0; --i) {
    int d = n[i] - x[i] - borrow;
    borrow = d < 0;
    out[i] = static_cast<std::uint8_t>(d + (borrow ? 256 : 0));
  }
  return out;
}

inline SecretKey key_from_hex(std::string_view text) {
  auto k = secret_key_from_bytes(unhex(text));
  if (!k) throw std::runtime_error("unusable test key");
  return *k;
}

// Whether the 64-byte r || s over `digest` was made by `key`: a verifier
// that lacks the recovery byte tries both ids.
inline bool signed_by(const PublicKey& key, const Digest32& digest, ByteView rs) {
  for (std::uint8_t v : {0, 1}) {
    Bytes full(rs.begin(), rs.end());
    full.push_back(v);
    if (auto recovered = recover_signer_key(digest, full); recovered && *recovered == key) return true;
  }
  return false;
}

// Secret key 1: its address is widely published.
inline constexpr std::string_view kKeyOneHex = "0000000000000000000000000000000000000000000000000000000000000001";
inline constexpr std::string_view kKeyOneAddress = "0x7e5f4552091a69125d5dfcb7b8c2659029395bdf";

}  // namespace qsdk::core::testing
