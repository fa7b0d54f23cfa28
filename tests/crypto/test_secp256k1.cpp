#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <secp256k1.h>

#include "crypto/curve_support.hpp"
#include "crypto/hash.hpp"
#include "crypto/secp256k1.hpp"
#include "testdata.hpp"

namespace qsdk::core {
namespace {

using testing::key_from_hex;
using testing::kKeyOneAddress;
using testing::kKeyOneHex;
using testing::unhex;

const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";

// Values published outside this project: the address of key 1 and the
// personal-message digest wallets compute for "hello world".
TEST(Eip191, KnownAnswers) {
  EXPECT_EQ(address_text(eth_address(public_key_of(key_from_hex(kKeyOneHex)))), kKeyOneAddress);
  EXPECT_EQ(hex_encode(eip191_hash(as_bytes("hello world"))),
            "d9eba16ed0ecae432b71fe008c98cc872bb4cc214d3220a36f365326cf807d68");
}

TEST(Eip191, DigestPrefixCarriesDecimalLength) {
  EXPECT_EQ(eip191_hash({}), keccak256(as_bytes("\x19" "Ethereum Signed Message:\n0")));
  const Bytes thousand(1000, 'a');
  EXPECT_EQ(eip191_hash(thousand), keccak256({as_bytes("\x19" "Ethereum Signed Message:\n1000"), thousand}));
  // No trimming or line-ending changes: "a\r\n" is hashed as three bytes.
  EXPECT_EQ(eip191_hash(as_bytes("a\r\n")), keccak256(as_bytes("\x19" "Ethereum Signed Message:\n3a\r\n")));
}

TEST(SecretKeyFromBytes, AcceptsOnlyScalarsInRange) {
  struct Case {
    std::string hex;
    bool accepted;
  };
  const std::string n(testing::kOrderHex);
  const std::vector<Case> cases = {
      {std::string(46, '1'), false},  // 23 bytes
      {std::string(48, '1'), true},   // 24 bytes
      {std::string(62, '1'), true},
      {std::string(64, '1'), true},
      {std::string(66, '1'), false},  // 33 bytes
      {std::string(64, '0'), false},
      {std::string(62, '0'), false},
      {n, false},
      {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140", true},  // n - 1
      {std::string(64, 'f'), false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(secret_key_from_bytes(unhex(c.hex)).has_value(), c.accepted) << c.hex;

  // A short key is the 32-byte key with leading zero bytes.
  auto short_key = secret_key_from_bytes(unhex(std::string(62, '1')));
  ASSERT_TRUE(short_key);
  EXPECT_EQ(hex_encode(short_key->bytes()), "00" + std::string(62, '1'));
  EXPECT_EQ(std::string(short_key->hex()), "00" + std::string(62, '1'));
}

TEST(PublicKeyFromSec1, AcceptsCompressedAndUncompressedOnly) {
  const PublicKey g = public_key_of(key_from_hex(kKeyOneHex));
  const Bytes compressed(g.compressed().begin(), g.compressed().end());
  const Bytes uncompressed(g.uncompressed().begin(), g.uncompressed().end());
  Bytes hybrid = uncompressed;
  hybrid[0] = static_cast<std::uint8_t>(0x06 | (uncompressed[64] & 1));
  Bytes off_curve = uncompressed;
  off_curve[64] ^= 1;
  Bytes x_only = compressed;
  x_only[0] = 0x05;
  Bytes too_big_x(33, 0xff);
  too_big_x[0] = 0x02;

  // libsecp256k1 itself reads the hybrid form; the guard must refuse it first.
  secp256k1_pubkey native;
  ASSERT_EQ(secp256k1_ec_pubkey_parse(secp256k1_context_static, &native, hybrid.data(), hybrid.size()), 1);

  struct Case {
    std::string name;
    Bytes bytes;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"compressed", compressed, true},
      {"uncompressed", uncompressed, true},
      {"hybrid", hybrid, false},
      {"hybrid other parity", [&] { Bytes b = hybrid; b[0] ^= 1; return b; }(), false},
      {"x-only tag 05", x_only, false},
      {"infinity", Bytes{0x00}, false},
      {"tag 01", [&] { Bytes b = compressed; b[0] = 0x01; return b; }(), false},
      {"compressed tag, uncompressed length", [&] { Bytes b = uncompressed; b[0] = 0x02; return b; }(), false},
      {"uncompressed tag, compressed length", [&] { Bytes b = compressed; b[0] = 0x04; return b; }(), false},
      {"truncated", Bytes(compressed.begin(), compressed.end() - 1), false},
      {"off the curve", off_curve, false},
      {"x not below p", too_big_x, false},
      {"empty", Bytes{}, false},
  };
  for (const auto& c : cases) {
    auto key = public_key_from_sec1(c.bytes);
    EXPECT_EQ(key.has_value(), c.accepted) << c.name;
    if (key) {
      EXPECT_EQ(*key, g) << c.name;
    }
  }
}

TEST(SignDigest, MatchesPublishedRfc6979Vector) {
  // Key 1 over SHA-256("Satoshi Nakamoto"), a widely reproduced RFC 6979 case.
  auto sig = sign_digest(key_from_hex(kKeyOneHex), sha256(as_bytes("Satoshi Nakamoto")));
  ASSERT_TRUE(sig);
  EXPECT_EQ(hex_encode(sig->rs),
            "934b1ea10a4b3c1757e2b0c017d0b6143ce3c9a7e6a4a49860d7a6ab210ee3d8"
            "2442ce9d2b916064108014783e923ec36b49743e2ffa1c4496f01a512aafd9e5");
}

TEST(SignDigest, IsDeterministicLowSAndVerifies) {
  const SecretKey key = key_from_hex(kKeyHex);
  const PublicKey pub = public_key_of(key);
  const std::string half_n = "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0";
  for (int i = 0; i < 32; ++i) {
    const Digest32 digest = sha256(as_bytes(std::to_string(i)));
    auto a = sign_digest(key, digest);
    auto b = sign_digest(key, digest);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->rs, b->rs);
    EXPECT_TRUE(a->recovery_id == 0 || a->recovery_id == 1);
    EXPECT_LE(hex_encode(ByteView(a->rs).subspan(32)), half_n);
    EXPECT_TRUE(testing::signed_by(pub, digest, a->rs));
    Digest32 other = digest;
    other[0] ^= 1;
    EXPECT_FALSE(testing::signed_by(pub, other, a->rs));
  }
}

TEST(Eip191Sign, KeyTextRules) {
  const auto bare = eip191_sign(kKeyHex, as_bytes("m"));
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->size(), 132u);
  EXPECT_TRUE(bare->starts_with("0x"));
  EXPECT_TRUE(bare->ends_with("1b") || bare->ends_with("1c"));

  struct Case {
    std::string key;
    std::string error;  // empty: signs like the bare key
  };
  const std::vector<Case> cases = {
      {kKeyHex, ""},
      {"0x" + kKeyHex, ""},
      {"0x0x" + kKeyHex, ""},
      {"0X" + kKeyHex, "input: Invalid character 'X' at position 1"},
      {kKeyHex.substr(1), "input: Odd number of digits"},
      {"0x" + kKeyHex.substr(1), "input: Odd number of digits"},
      {"zz" + kKeyHex.substr(2), "input: Invalid character 'z' at position 0"},
      {kKeyHex.substr(0, 3) + "g" + kKeyHex.substr(4), "input: Invalid character 'g' at position 3"},
      {std::string(64, '0'), "crypto: signature error"},
      {std::string(testing::kOrderHex), "crypto: signature error"},
      {std::string(46, '1'), "crypto: signature error"},
      {"", "crypto: signature error"},
  };
  for (const auto& c : cases) {
    auto r = eip191_sign(c.key, as_bytes("m"));
    if (c.error.empty()) {
      ASSERT_TRUE(r) << c.key << ": " << r.error().text();
      EXPECT_EQ(*r, *bare) << c.key;
    } else {
      ASSERT_FALSE(r) << c.key;
      EXPECT_EQ(r.error().text(), c.error) << c.key;
    }
  }
  // 31 bytes sign as the 32-byte key with a leading zero byte.
  const std::string short_key(62, '7');
  EXPECT_EQ(eip191_sign(short_key, as_bytes("m")), eip191_sign("00" + short_key, as_bytes("m")));
}

class Eip191Recover : public ::testing::Test {
 protected:
  const Bytes message = Bytes{'h', 'i'};
  const SecretKey key = key_from_hex(kKeyHex);
  const std::string address = address_text(eth_address(public_key_of(key)));
  Bytes signature = unhex(eip191_sign(kKeyHex, message).value().substr(2));

  Bytes with_v(std::uint8_t v) const {
    Bytes b = signature;
    b[64] = v;
    return b;
  }
  std::string outcome(const Bytes& sig) const {
    auto r = eip191_recover(message, sig);
    return r ? address_text(*r) : r.error().text();
  }
};

TEST_F(Eip191Recover, RoundTripsAndAcceptsBothRecoveryByteForms) {
  const std::uint8_t v = signature[64];
  ASSERT_TRUE(v == 27 || v == 28);
  EXPECT_EQ(outcome(signature), address);
  EXPECT_EQ(outcome(with_v(static_cast<std::uint8_t>(v - 27))), address);
  // The other parity recovers some other key, never an error and never ours.
  const std::string flipped = outcome(with_v(v == 27 ? 28 : 27));
  EXPECT_NE(flipped, address);
  EXPECT_EQ(flipped, outcome(with_v(v == 27 ? 1 : 0)));
  // A different message recovers a different address, not an error.
  EXPECT_NE(address_text(eip191_recover(as_bytes("ho"), signature).value()), address);
}

TEST_F(Eip191Recover, RefusesInOrder) {
  const std::string bad_v = "input: recovery id must be 0, 1, 27, or 28";
  const std::string sig_error = "crypto: signature error";
  Bytes high_s = signature;
  const auto twin = testing::order_minus(ByteView(signature).subspan(32, 32));
  std::copy(twin.begin(), twin.end(), high_s.begin() + 32);
  high_s[64] = signature[64] == 27 ? 28 : 27;
  Bytes zero_r = with_v(5);
  std::fill(zero_r.begin(), zero_r.begin() + 32, 0);
  Bytes zero_s = signature;
  std::fill(zero_s.begin() + 32, zero_s.begin() + 64, 0);
  Bytes r_is_n = signature;
  const Bytes n = unhex(testing::kOrderHex);
  std::copy(n.begin(), n.end(), r_is_n.begin());
  Bytes s_is_n = with_v(99);
  std::copy(n.begin(), n.end(), s_is_n.begin() + 32);
  Bytes no_point = signature;  // an r that is no curve point's X
  std::fill(no_point.begin(), no_point.begin() + 32, 0);
  for (std::uint8_t x = 1;; ++x) {
    const Bytes candidate = [&] { Bytes c(33, 0); c[0] = 0x02; c[32] = x; return c; }();
    if (!public_key_from_sec1(candidate)) {
      no_point[31] = x;
      break;
    }
  }

  const std::vector<std::pair<Bytes, std::string>> cases = {
      {Bytes(signature.begin(), signature.end() - 1), "input: signature must be 65 bytes"},
      {[&] { Bytes b = signature; b.push_back(0); return b; }(), "input: signature must be 65 bytes"},
      {Bytes{}, "input: signature must be 65 bytes"},
      {with_v(2), bad_v},
      {with_v(26), bad_v},
      {with_v(29), bad_v},
      {with_v(30), bad_v},
      {with_v(255), bad_v},
      {zero_r, sig_error},  // r is judged before v
      {zero_s, sig_error},
      {r_is_n, sig_error},
      {s_is_n, sig_error},
      {high_s, sig_error},
      {no_point, sig_error},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(outcome(cases[i].first), cases[i].second) << "case " << i;
}

TEST(EthAddress, TextIsLowerCaseWithPrefix) {
  for (int i = 1; i < 20; ++i) {
    const std::string text = address_text(eth_address(public_key_of(key_from_hex(std::string(63, '0') + "123456789abcdef"[i % 15]))));
    EXPECT_EQ(text.size(), 42u);
    EXPECT_TRUE(text.starts_with("0x"));
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef", 2), std::string::npos) << text;
  }
}

TEST(HexAs, DecoderMessageTakesTheNamedClass) {
  EXPECT_EQ(decode_hex_as(ErrorKind::Crypto, "0xab").error().text(), "crypto: Invalid character 'x' at position 1");
  EXPECT_EQ(decode_hex_as(ErrorKind::Input, "abc").error().text(), "input: Odd number of digits");
  EXPECT_EQ(decode_secret_hex_as(ErrorKind::Crypto, "AbCd").value(), (SecretBytes{0xab, 0xcd}));
  EXPECT_EQ(secret_key_from_hex(ErrorKind::Crypto, std::string(64, '0')).error().text(), "crypto: signature error");
}

// Recovery with its low-s test accepts exactly the valid DER vectors of the
// low-s ("bitcoin") Wycheproof file, DER being read by libsecp256k1's parser.
// The one exception is a signature whose nonce point has an x of r + n: it
// needs recovery id 2 or 3, which the signature byte forms refuse.
TEST(RecoverSignerKey, AgreesWithWycheproofBitcoinVectors) {
  constexpr int kLargeXNonce = 346;
  QSDK_LOAD_TESTDATA(doc, "wycheproof/ecdsa_secp256k1_sha256_bitcoin_test.json");

  int checked = 0;
  for (const auto& group : doc["testGroups"].GetArray()) {
    auto key = public_key_from_sec1(unhex(group["publicKey"]["uncompressed"].GetString()));
    ASSERT_TRUE(key) << "group key unreadable";
    for (const auto& t : group["tests"].GetArray()) {
      Bytes der = unhex(t["sig"].GetString());
      const std::size_t der_len = der.size();
      der.push_back(0);  // the parser refuses a null pointer even for zero bytes
      secp256k1_ecdsa_signature sig;
      PlainSignature rs{};
      bool valid = secp256k1_ecdsa_signature_parse_der(secp256k1_context_static, &sig, der.data(), der_len) == 1;
      if (valid) valid = secp256k1_ecdsa_signature_serialize_compact(secp256k1_context_static, rs.data(), &sig) == 1;
      if (valid) valid = testing::signed_by(*key, sha256(unhex(t["msg"].GetString())), rs);
      const bool expected = std::string_view(t["result"].GetString()) == "valid" && t["tcId"].GetInt() != kLargeXNonce;
      EXPECT_EQ(valid, expected) << "tcId " << t["tcId"].GetInt();
      ++checked;
    }
  }
  EXPECT_EQ(checked, doc["numberOfTests"].GetInt());
}

}  // namespace
}  // namespace qsdk::core
