#include <gtest/gtest.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <limits>

#include "base/text.hpp"
#include "crypto/curve_support.hpp"
#include "crypto/hash.hpp"
#include "crypto/hkdf.hpp"
#include "deed/usersig.hpp"

namespace qsdk::core {
namespace {

using testing::key_from_hex;
using testing::unhex;

const std::string kOrigin = "https://rp.example";
const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const std::string kBadPath = "input: origin: must be scheme://host[:port], optionally with one trailing slash, and no path";
const std::string kNoScheme = "input: origin: must start with https:// or http://";

// RFC 5869 appendix A, cases 1 and 3 (SHA-256).
TEST(Hkdf, Rfc5869Vectors) {
  const Bytes ikm(22, 0x0b);
  const SecretBytes prk1 = hkdf_sha256_extract(unhex("000102030405060708090a0b0c"), ikm);
  EXPECT_EQ(hex_encode(prk1), "077709362c2e32df0ddc3f0dc47bba6390b6c73bb50f9c3122ec844ad7c2b3e5");
  EXPECT_EQ(hex_encode(hkdf_sha256_expand(prk1, unhex("f0f1f2f3f4f5f6f7f8f9"), 42)),
            "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865");
  const SecretBytes prk3 = hkdf_sha256_extract({}, ikm);
  EXPECT_EQ(hex_encode(prk3), "19ef24a32c717b167f33a91d6f648bdf96596776afdb6377ac434c1c293ccb04");
  EXPECT_EQ(hex_encode(hkdf_sha256_expand(prk3, {}, 42)),
            "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8");
}

TEST(UserBinding, ExactText) {
  struct Case {
    std::uint64_t tenant;
    std::string aud, origin, challenge;
    std::uint64_t exp;
    std::string text;
  };
  const std::vector<Case> cases = {
      {7, "rp", kOrigin, "c1", 99,
       "quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://rp.example|challenge:c1|exp:99"},
      {0, "", kOrigin, "", 0, "quorvel-sovereign-user-v1|tenant:0|aud:|origin:https://rp.example|challenge:|exp:0"},
      {18446744073709551615u, "a|b", "http://x:8080", "c|exp:1", 1,
       "quorvel-sovereign-user-v1|tenant:18446744073709551615|aud:a|b|origin:http://x:8080|challenge:c|exp:1|exp:1"},
      // The core formats the origin as given; canonicalising is the caller's.
      {1, "rp", "HTTPS://RP.example/", "c", 2, "quorvel-sovereign-user-v1|tenant:1|aud:rp|origin:HTTPS://RP.example/|challenge:c|exp:2"},
  };
  for (const auto& c : cases) EXPECT_EQ(user_binding(c.tenant, c.aud, c.origin, c.challenge, c.exp), c.text);
}

TEST(UserSub, HashesTagAndCompressedKey) {
  const PublicKey pub = public_key_of(key_from_hex(kKeyHex));
  const std::string expected =
      hex_encode(sha256({as_bytes("quorvel-sovereign-user-sub-v1"), ByteView(pub.compressed())}));
  EXPECT_EQ(user_sub(pub), expected);
  EXPECT_EQ(user_sub(*public_key_from_sec1(pub.uncompressed())), expected);
  EXPECT_EQ(expected.size(), 64u);
}

TEST(MintUserDeed, SignsSha256OfTheBindingNotTheEip191Digest) {
  const SecretKey key = key_from_hex(kKeyHex);
  const PublicKey pub = public_key_of(key);
  auto deed = mint_user_deed(key, 7, "rp", kOrigin, "c1", 99);
  ASSERT_TRUE(deed);
  EXPECT_EQ(deed->v, 1);
  EXPECT_EQ(deed->mode, "user-sig");
  EXPECT_EQ(deed->tenant, 7u);
  EXPECT_EQ(deed->aud, "rp");
  EXPECT_EQ(deed->challenge, "c1");
  EXPECT_EQ(deed->exp, 99u);
  EXPECT_EQ(deed->sub, user_sub(pub));
  EXPECT_EQ(deed->pubkey, pub.compressed_hex());
  ASSERT_TRUE(deed->signature);
  ASSERT_EQ(deed->signature->size(), 128u);
  for (const auto* absent : {&deed->root, &deed->proof, &deed->credential_pubkey, &deed->authenticator_data,
                             &deed->client_data_json, &deed->assertion_sig, &deed->signer})
    EXPECT_FALSE(absent->has_value());
  EXPECT_FALSE(deed->grants.has_value());
  EXPECT_FALSE(deed->delegations.has_value());

  const auto rs = testing::unhex_array<64>(*deed->signature);
  const std::string binding = user_binding(7, "rp", kOrigin, "c1", 99);
  EXPECT_TRUE(testing::signed_by(pub, sha256(as_bytes(binding)), rs));
  EXPECT_FALSE(testing::signed_by(pub, eip191_hash(as_bytes(binding)), rs));
  EXPECT_EQ(mint_user_deed(key, 7, "rp", kOrigin, "c1", 99), deed) << "signing is deterministic";
}

TEST(MintUserDeed, CanonicalisesTheOriginBeforeSigning) {
  const SecretKey key = key_from_hex(kKeyHex);
  const auto canonical = mint_user_deed(key, 7, "rp", kOrigin, "c1", 99);
  ASSERT_TRUE(canonical);
  for (const std::string origin : {"https://RP.Example", "https://rp.example:443", "https://rp.example/"})
    EXPECT_EQ(mint_user_deed(key, 7, "rp", origin, "c1", 99), canonical) << origin;
  EXPECT_NE(mint_user_deed(key, 7, "rp", "https://rp.example:8443", "c1", 99), canonical);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"https://rp.example/login", kBadPath},
      {"rp.example", kNoScheme},
      {"https://user@rp.example",
       "input: origin: contains a forbidden character \u2014 userinfo ('@'), query ('?'), fragment ('#') and "
       "percent-encoding ('%') are not allowed in a bare scheme://host[:port] origin"},
  };
  for (const auto& [origin, message] : refused) {
    auto r = mint_user_deed(key, 7, "rp", origin, "c1", 99);
    ASSERT_FALSE(r) << origin;
    EXPECT_EQ(r.error().text(), message);
  }
}

TEST(UserRootBinding, ProseNamesTheCanonicalOriginFourTimes) {
  const std::string expected =
      "https://rp.example is asking you to sign in.\n"
      "\n"
      "Signing this message derives your private sign-in key for https://rp.example,\n"
      "and nothing else. Only sign it if you are on https://rp.example right now \xE2\x80\x94\n"
      "signing it on any other site lets that site sign in as you here.\n"
      "\n"
      "This is not a transaction and cannot move your funds.\n"
      "\n"
      "Origin: https://rp.example\n"
      "\n"
      "quorvel-sovereign-user-root-v2";
  for (const std::string origin : {"https://rp.example", "https://RP.EXAMPLE:443", "https://rp.example/"}) {
    auto text = user_root_binding(origin);
    ASSERT_TRUE(text) << origin;
    EXPECT_EQ(*text, expected);
  }
  EXPECT_EQ(expected.size() - 4 * kOrigin.size(), 309u);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 10);
  EXPECT_EQ(user_root_binding("https://rp.example/x").error().text(), kBadPath);
}

// A stand-in wallet: answers each request from a script and records what it was asked.
struct ScriptedWallet {
  std::vector<Result<SecretBytes>> answers;
  std::vector<std::string> asked;
  WalletSigner signer() {
    return [this](ByteView m) {
      asked.emplace_back(m.begin(), m.end());
      return answers.at(asked.size() - 1);
    };
  }
};

TEST(DeriveRootSeed, HashesTheFirstOfTwoIdenticalSignatures) {
  const SecretBytes sig = {1, 2, 3, 27};
  ScriptedWallet wallet{{sig, sig}, {}};
  auto seed = derive_root_seed("https://RP.example", wallet.signer());
  ASSERT_TRUE(seed);
  EXPECT_EQ(hex_encode(*seed), hex_encode(sha256(sig)));
  ASSERT_EQ(wallet.asked.size(), 2u);
  EXPECT_EQ(wallet.asked[0], *user_root_binding(kOrigin));
  EXPECT_EQ(wallet.asked[1], wallet.asked[0]);

  ScriptedWallet empty{{SecretBytes{}, SecretBytes{}}, {}};
  EXPECT_EQ(hex_encode(derive_root_seed(kOrigin, empty.signer()).value()),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(DeriveRootSeed, RefusesAndPassesFailuresOn) {
  const std::string nondeterministic = "crypto: wallet signing is non-deterministic; unsupported";
  const CoreError refused = CoreError::crypto("user rejected");
  struct Case {
    std::string origin;
    std::vector<Result<SecretBytes>> answers;
    std::string error;
    std::size_t asked;
  };
  const std::vector<Case> cases = {
      {kOrigin, {SecretBytes{1, 2}, SecretBytes{1, 3}}, nondeterministic, 2},
      {kOrigin, {SecretBytes{1, 2}, SecretBytes{1, 2, 0}}, nondeterministic, 2},
      {kOrigin, {std::unexpected(refused)}, "crypto: user rejected", 1},
      {kOrigin, {SecretBytes{1}, std::unexpected(refused)}, "crypto: user rejected", 2},
      {"https://rp.example/p", {}, kBadPath, 0},
  };
  for (const auto& c : cases) {
    ScriptedWallet wallet{c.answers, {}};
    auto r = derive_root_seed(c.origin, wallet.signer());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().text(), c.error);
    EXPECT_EQ(wallet.asked.size(), c.asked);
  }
}

// HKDF computed here with bare HMAC calls, so a fault in the label, the
// counter or the extract-expand split shows up as a different key.
std::string expected_app_key(const Bytes& seed, std::string_view info) {
  unsigned char prk[32], okm[32];
  unsigned int n = 0;
  const unsigned char zeros[32] = {};
  HMAC(EVP_sha256(), zeros, 32, seed.data(), seed.size(), prk, &n);
  Bytes block(info.begin(), info.end());
  block.push_back(0x01);
  HMAC(EVP_sha256(), prk, 32, block.data(), block.size(), okm, &n);
  return hex_encode(ByteView(okm, 32));
}

TEST(DeriveAppKey, IsHkdfOfTheSeedScopedToTenantAndOrigin) {
  const Bytes seed = unhex("0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20");
  const std::span<const std::uint8_t, 32> s(seed.data(), 32);
  auto key = derive_app_key(s, 7, "https://RP.example:443/");
  ASSERT_TRUE(key);
  EXPECT_EQ(hex_encode(key->bytes()), expected_app_key(seed, "tenant:7|origin:https://rp.example|ctr:0"));
  EXPECT_EQ(derive_app_key(s, 7, kOrigin)->bytes(), key->bytes());
  EXPECT_NE(derive_app_key(s, 8, kOrigin)->bytes(), key->bytes());
  EXPECT_NE(derive_app_key(s, 7, "https://rp.example:8443")->bytes(), key->bytes());
  EXPECT_EQ(derive_app_key(s, 7, "rp.example").error().text(), kNoScheme);
}

// OpenSSL's HKDF takes at most 32 KiB of info: the longest origin that fits
// with the widest tenant still derives the key, one byte more is refused.
TEST(DeriveAppKey, RefusesAnOriginTooLongForTheDerivation) {
  const Bytes seed(32, 7);
  const std::span<const std::uint8_t, 32> s(seed.data(), 32);
  const std::uint64_t tenant = std::numeric_limits<std::uint64_t>::max();
  const std::string longest = "https://" + std::string(32726 - 8, 'a');
  auto key = derive_app_key(s, tenant, longest);
  ASSERT_TRUE(key) << key.error().text();
  EXPECT_EQ(hex_encode(key->bytes()), expected_app_key(seed, cat("tenant:", tenant, "|origin:", longest, "|ctr:0")));
  EXPECT_EQ(derive_app_key(s, tenant, longest + "a").error().text(),
            "input: origin must be at most 32726 bytes to derive an app key");
}

}  // namespace
}  // namespace qsdk::core
