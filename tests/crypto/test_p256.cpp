#include <gtest/gtest.h>

#include "base/codec.hpp"
#include "crypto/hash.hpp"
#include "crypto/p256.hpp"
#include "testdata.hpp"

namespace qsdk::core::p256 {
namespace {

Bytes hex(std::string_view s) { return hex_decode(s).value(); }

// The vectors give keys in the SEC 1 uncompressed form 04 ‖ x ‖ y.
std::optional<PublicKey> from_uncompressed(const Bytes& point) {
  if (point.size() != 1 + 2 * kCoordinateSize || point[0] != 0x04) return std::nullopt;
  return PublicKey::from_affine(ByteView(point).subspan(1, kCoordinateSize),
                                ByteView(point).subspan(1 + kCoordinateSize));
}

// Project Wycheproof, P-256 with SHA-256, signatures as 64-byte r ‖ s: every
// "valid" case verifies and every "invalid" one does not (high s is valid).
TEST(P256, WycheproofP1363Vectors) {
  QSDK_LOAD_TESTDATA(doc, "wycheproof/ecdsa_secp256r1_sha256_p1363_test.json");
  int checked = 0;
  for (const auto& group : doc["testGroups"].GetArray()) {
    const auto key = from_uncompressed(hex(group["publicKey"]["uncompressed"].GetString()));
    ASSERT_TRUE(key) << group["publicKey"]["uncompressed"].GetString();
    for (const auto& t : group["tests"].GetArray()) {
      const Bytes msg = hex(t["msg"].GetString());
      const bool valid = std::string_view(t["result"].GetString()) == "valid";
      EXPECT_EQ(key->verify(hex(t["sig"].GetString()), sha256(msg)) == Verdict::Valid, valid)
          << "tcId " << t["tcId"].GetInt() << ": " << t["comment"].GetString();
      ++checked;
    }
  }
  EXPECT_EQ(checked, doc["numberOfTests"].GetInt());
}

constexpr std::string_view kPrime = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
constexpr std::string_view kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
// The curve's base point G.
constexpr std::string_view kGx = "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
constexpr std::string_view kGy = "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5";

TEST(P256, KeyRefusesAnythingButACurvePointWithReducedCoordinates) {
  // p - Gy is the y of -G; both are on the curve.
  struct Row {
    const char* what;
    std::string x, y;
    bool accepted;
  } rows[] = {
      {"base point", std::string(kGx), std::string(kGy), true},
      {"y off by one", std::string(kGx), "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f6", false},
      {"origin", std::string(64, '0'), std::string(64, '0'), false},
      {"x equal to the prime", std::string(kPrime), std::string(kGy), false},
      {"y equal to the prime", std::string(kGx), std::string(kPrime), false},
      {"y all ones", std::string(kGx), std::string(64, 'f'), false},
      {"short x", std::string(kGx.substr(2)), std::string(kGy), false},
      {"long y", std::string(kGx), "00" + std::string(kGy), false},
  };
  for (const Row& r : rows) EXPECT_EQ(PublicKey::from_affine(hex(r.x), hex(r.y)).has_value(), r.accepted) << r.what;
}

TEST(P256, SignatureRangeIsCheckedBeforeVerification) {
  const auto key = PublicKey::from_affine(hex(kGx), hex(kGy));
  ASSERT_TRUE(key);
  const Digest32 digest = sha256(as_bytes("message"));
  const std::string one = std::string(63, '0') + "1";
  const std::string zero(64, '0');
  struct Row {
    const char* what;
    std::string sig_hex;
    Verdict verdict;
  } rows[] = {
      {"r zero", zero + one, Verdict::Malformed},
      {"s zero", one + zero, Verdict::Malformed},
      {"r equal to n", std::string(kOrder) + one, Verdict::Malformed},
      {"s equal to n", one + std::string(kOrder), Verdict::Malformed},
      {"s above n", one + std::string(64, 'f'), Verdict::Malformed},
      {"63 bytes", (one + one).substr(2), Verdict::Malformed},
      {"empty", "", Verdict::Malformed},
      {"in range but wrong", one + one, Verdict::Mismatch},
  };
  for (const Row& r : rows) EXPECT_EQ(key->verify(hex(r.sig_hex), digest), r.verdict) << r.what;
}

}  // namespace
}  // namespace qsdk::core::p256
