#include <gtest/gtest.h>

#include "base/codec.hpp"
#include "crypto/hash.hpp"

namespace qsdk::core {
namespace {

// Published digests: Keccak-256 as Ethereum uses it differs from SHA3-256.
TEST(Hash, KnownAnswers) {
  EXPECT_EQ(hex_encode(keccak256(as_bytes(""))), "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470");
  EXPECT_EQ(hex_encode(keccak256(as_bytes("abc"))), "4e03657aea45a94fc7d47ba826c8d667c0d1e6e33a64a036ec44f58fa12d6c45");
  EXPECT_EQ(hex_encode(sha256(as_bytes("abc"))), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256({as_bytes("a"), as_bytes("bc")}), sha256(as_bytes("abc")));
  EXPECT_EQ(keccak256({as_bytes("ab"), as_bytes("c")}), keccak256(as_bytes("abc")));
}

}  // namespace
}  // namespace qsdk::core
