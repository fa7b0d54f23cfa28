// The identity deed exports through the C interface: argument preparation,
// order of checks, exact messages and the wire form of the records.
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <secp256k1.h>

#include <algorithm>
#include <array>

#include "ffi/host.hpp"
#include "ffi/wallet.hpp"

namespace {

using host::Bytes;
using host::TextOutcome;

const std::string kOrigin = "https://rp.example";
const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const std::string kAddr = "52908400098527886e0f7030069857d2e4169ee7";
const std::string kBadPath = "input: origin: must be scheme://host[:port], optionally with one trailing slash, and no path";
const std::string kNoScheme = "input: origin: must start with https:// or http://";
const std::string kNondeterministic = "crypto: wallet signing is non-deterministic; unsupported";

template <class Fn>
Fn* op(const char* name) {
  return host::lib().op<Fn>(name);
}
#define QSDK_FN(name) op<decltype(uniffi_quorvel_sdk_uniffi_fn_func_##name)>(#name)

std::string sha256_hex(std::string_view data) {
  unsigned char d[32];
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), d);
  return host::TestWallet::hex(d, 32);
}

Bytes unhex(std::string_view s) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(s.substr(i, 2)), nullptr, 16)));
  return out;
}

std::string hex(const Bytes& b) { return host::TestWallet::hex(b.data(), b.size()); }

// A deed read back from its wire form.
using host::Deed;

Deed read_deed(const std::string& wire) { return host::read_deed(Bytes(wire.begin(), wire.end())); }

// Expected outcome of a call: a value (text, or the deed's wire bytes) or an Sdk message.
struct Expect {
  std::string value;
  std::string error;
};

void check(const TextOutcome& o, const Expect& e, const std::string& label) {
  if (e.error.empty()) {
    EXPECT_EQ(o.code, 0) << label << ": " << o.message;
    if (!e.value.empty()) {
      EXPECT_EQ(o.value, e.value) << label;
    }
  } else {
    EXPECT_EQ(o.code, 1) << label;
    EXPECT_EQ(o.variant, host::kSdk) << label;
    EXPECT_EQ(o.message, e.error) << label;
  }
}

// --- user_binding, user_sub, mint_user_deed ---

TextOutcome user_binding(std::uint64_t tenant, const std::string& aud, const std::string& origin,
                         const std::string& challenge, std::uint64_t exp) {
  return host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(user_binding)(tenant, host::text(aud), host::text(origin), host::text(challenge), exp, st);
  });
}

TEST(UserBindingExport, HexOfTheBindingWithCanonicalOrigin) {
  const std::string text = "quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://rp.example|challenge:c1|exp:99";
  const std::string expected = hex(Bytes(text.begin(), text.end()));
  for (const std::string& origin : {kOrigin, std::string("https://RP.Example:443"), std::string("https://rp.example/")})
    check(user_binding(7, "rp", origin, "c1", 99), {expected, ""}, origin);
  const std::string empty = "quorvel-sovereign-user-v1|tenant:0|aud:|origin:http://x:8080|challenge:|exp:0";
  check(user_binding(0, "", "http://X:8080", "", 0), {hex(Bytes(empty.begin(), empty.end())), ""}, "empty");
  check(user_binding(7, "rp", "https://rp.example/login", "c1", 99), {"", kBadPath}, "path");
}

TextOutcome user_sub(const std::string& pubkey_hex) {
  return host::text_outcome([&](RustCallStatus* st) { return QSDK_FN(user_sub)(host::text(pubkey_hex), st); });
}

// Key 1's public key, in both SEC 1 forms.
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kGUncompressed =
    "0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
    "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8";

TEST(UserSubExport, SubjectOfEitherEncodingAndRefusals) {
  Bytes tagged = {'q', 'u', 'o', 'r', 'v', 'e', 'l', '-', 's', 'o', 'v', 'e', 'r', 'e', 'i', 'g', 'n', '-',
                  'u', 's', 'e', 'r', '-', 's', 'u', 'b', '-', 'v', '1'};
  const Bytes g = unhex(kG);
  tagged.insert(tagged.end(), g.begin(), g.end());
  const std::string subject = sha256_hex(std::string(tagged.begin(), tagged.end()));
  std::string upper = kGUncompressed;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  std::string hybrid = kGUncompressed;
  hybrid[1] = '6';

  const std::vector<std::pair<std::string, Expect>> cases = {
      {kG, {subject, ""}},
      {kGUncompressed, {subject, ""}},
      {upper, {subject, ""}},
      {"0x" + kG, {"", "crypto: Invalid character 'x' at position 1"}},
      {kG.substr(1), {"", "crypto: Odd number of digits"}},
      {kG.substr(0, 64) + "zz", {"", "crypto: Invalid character 'z' at position 64"}},
      {hybrid, {"", "crypto: signature error"}},
      {"05" + kG.substr(2), {"", "crypto: signature error"}},
      {kG.substr(0, 64), {"", "crypto: signature error"}},
      {"", {"", "crypto: signature error"}},
  };
  for (const auto& [input, expect] : cases) check(user_sub(input), expect, input);
}

TEST(UserSubExport, ErrorWireForm) {
  host::Status st;
  RustBuffer out = QSDK_FN(user_sub)(host::text("0x02"), &st);
  EXPECT_EQ(out.data, nullptr);
  ASSERT_EQ(st.code(), 1);
  const std::string message = "crypto: Invalid character 'x' at position 1";
  Bytes expected = {0, 0, 0, 1, 0, 0, 0, static_cast<std::uint8_t>(message.size())};
  expected.insert(expected.end(), message.begin(), message.end());
  EXPECT_EQ(st.error_bytes(), expected);
}

TextOutcome mint_user_deed(const std::string& key, std::uint64_t tenant, const std::string& aud,
                           const std::string& origin, const std::string& challenge, std::uint64_t exp) {
  return host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(mint_user_deed)(host::text(key), tenant, host::text(aud), host::text(origin), host::text(challenge),
                                   exp, st);
  });
}

bool verifies(const std::string& pubkey_hex, const std::array<unsigned char, 32>& digest, const std::string& sig_hex) {
  const Bytes pub = unhex(pubkey_hex);
  const Bytes rs = unhex(sig_hex);
  secp256k1_pubkey key;
  secp256k1_ecdsa_signature sig;
  return rs.size() == 64 && secp256k1_ec_pubkey_parse(secp256k1_context_static, &key, pub.data(), pub.size()) == 1 &&
         secp256k1_ecdsa_signature_parse_compact(secp256k1_context_static, &sig, rs.data()) == 1 &&
         secp256k1_ecdsa_verify(secp256k1_context_static, &sig, digest.data(), &key) == 1;
}

TEST(MintUserDeedExport, SignsSha256OfTheBinding) {
  const TextOutcome o = mint_user_deed(kKeyHex, 7, "rp", "https://RP.example:443/", "c1", 99);
  ASSERT_EQ(o.code, 0) << o.message;
  const Deed d = read_deed(o.value);
  EXPECT_EQ(d.v, 1);
  EXPECT_EQ(d.mode, "user-sig");
  EXPECT_EQ(d.tenant, 7u);
  EXPECT_EQ(d.aud, "rp");
  EXPECT_EQ(d.challenge, "c1");
  EXPECT_EQ(d.exp, 99u);
  ASSERT_TRUE(d.pubkey && d.signature);
  EXPECT_EQ(d.pubkey->size(), 66u);
  EXPECT_EQ(d.signature->size(), 128u);
  check(user_sub(*d.pubkey), {d.sub, ""}, "sub");
  for (const auto* absent : {&d.root, &d.proof, &d.credential_pubkey, &d.authenticator_data, &d.client_data_json,
                             &d.assertion_sig, &d.signer, &d.grants, &d.delegations})
    EXPECT_FALSE(absent->has_value());
  // The wire form ends with the signature and then seven absent optionals.
  EXPECT_TRUE(o.value.ends_with(*d.signature + std::string(7, '\0')));

  const std::string binding = "quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://rp.example|challenge:c1|exp:99";
  std::array<unsigned char, 32> digest;
  SHA256(reinterpret_cast<const unsigned char*>(binding.data()), binding.size(), digest.data());
  EXPECT_TRUE(verifies(*d.pubkey, digest, *d.signature));
  // Not the EIP-191 digest: that one a wallet would show as a personal message.
  EXPECT_FALSE(verifies(*d.pubkey, host::TestWallet::personal_digest(binding), *d.signature));
  EXPECT_EQ(mint_user_deed(kKeyHex, 7, "rp", kOrigin, "c1", 99).value, o.value) << "deterministic";
}

TEST(MintUserDeedExport, KeyRulesAndCheckOrder) {
  const std::string ok = mint_user_deed(kKeyHex, 1, "a", kOrigin, "c", 2).value;
  const std::string short_key(62, '7');
  const std::vector<std::tuple<std::string, std::string, Expect>> cases = {
      {"0x" + kKeyHex, kOrigin, {"", "crypto: Invalid character 'x' at position 1"}},
      {kKeyHex.substr(1), kOrigin, {"", "crypto: Odd number of digits"}},
      {std::string(46, '1'), kOrigin, {"", "crypto: signature error"}},
      {std::string(66, '1'), kOrigin, {"", "crypto: signature error"}},
      {std::string(64, '0'), kOrigin, {"", "crypto: signature error"}},
      {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141", kOrigin, {"", "crypto: signature error"}},
      // A bad key is reported before a bad origin.
      {std::string(64, '0'), "https://rp.example/x", {"", "crypto: signature error"}},
      {kKeyHex, "https://rp.example/x", {"", kBadPath}},
      {kKeyHex, "rp.example", {"", kNoScheme}},
      {short_key, kOrigin, {mint_user_deed("00" + short_key, 1, "a", kOrigin, "c", 2).value, ""}},
  };
  ASSERT_FALSE(ok.empty());
  for (const auto& [key, origin, expect] : cases) check(mint_user_deed(key, 1, "a", origin, "c", 2), expect, key + " " + origin);
}

TEST(MintUserDeedExport, UnliftableArgumentIsNamed) {
  host::Status st;
  RustBuffer out = QSDK_FN(mint_user_deed)(host::text(kKeyHex), 1, host::text("a"), host::text("\xff"),
                                           host::text("c"), 2, &st);
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(st.code(), 2);
  EXPECT_TRUE(st.internal_message().starts_with("Failed to convert arg 'origin':\n")) << st.internal_message();
}

// --- user_root_binding, derive_root_seed, derive_app_key ---

TextOutcome root_binding(const std::string& origin) {
  return host::text_outcome(
      [&](RustCallStatus* st) { return QSDK_FN(user_root_binding)(host::text(origin), st); });
}

TextOutcome root_seed(const std::string& origin, const std::string& sig1, const std::string& sig2) {
  return host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(derive_root_seed)(host::text(origin), host::text(sig1), host::text(sig2), st);
  });
}

TEST(UserRootBindingExport, PlainTextProse) {
  const TextOutcome o = root_binding("https://RP.example:443/");
  ASSERT_EQ(o.code, 0);
  EXPECT_TRUE(o.value.starts_with("https://rp.example is asking you to sign in.\n\n"));
  EXPECT_TRUE(o.value.ends_with("\n\nOrigin: https://rp.example\n\nquorvel-sovereign-user-root-v2"));
  EXPECT_EQ(std::count(o.value.begin(), o.value.end(), '\n'), 10);
  EXPECT_EQ(o.value.size(), 309 + 4 * kOrigin.size());
  check(root_binding("https://rp.example/p"), {"", kBadPath}, "path");
}

TEST(DeriveRootSeedExport, SeedIsSha256OfTheSignature) {
  const std::string sig = "00ff1b";
  const std::string seed = sha256_hex(std::string("\x00\xff\x1b", 3));
  const std::vector<std::tuple<std::string, std::string, std::string, Expect>> cases = {
      {kOrigin, sig, sig, {seed, ""}},
      {"https://RP.example", sig, "00FF1B", {seed, ""}},
      {kOrigin, "", "", {"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", ""}},
      {kOrigin, sig, "00ff1c", {"", kNondeterministic}},
      {kOrigin, sig, sig + "00", {"", kNondeterministic}},
      {kOrigin, "0x" + sig, "0x" + sig, {"", "crypto: Invalid character 'x' at position 1"}},
      {kOrigin, sig, "abc", {"", "crypto: Odd number of digits"}},
      // Both signatures are decoded before the origin is examined.
      {"https://rp.example/p", "zz", sig, {"", "crypto: Invalid character 'z' at position 0"}},
      {"https://rp.example/p", sig, "0", {"", "crypto: Odd number of digits"}},
      {"https://rp.example/p", sig, sig, {"", kBadPath}},
  };
  for (const auto& [origin, s1, s2, expect] : cases) check(root_seed(origin, s1, s2), expect, origin + " " + s1 + " " + s2);
}

struct AppKey {
  std::string secret_key_hex, pubkey_hex;
};

std::pair<TextOutcome, AppKey> app_key(const std::string& seed, std::uint64_t tenant, const std::string& origin) {
  TextOutcome o = host::text_outcome(
      [&](RustCallStatus* st) { return QSDK_FN(derive_app_key)(host::text(seed), tenant, host::text(origin), st); });
  AppKey k;
  if (o.code == 0) {
    host::Cursor c(Bytes(o.value.begin(), o.value.end()));
    k.secret_key_hex = c.string();
    k.pubkey_hex = c.string();
    EXPECT_TRUE(c.at_end());
  }
  return {o, k};
}

TEST(DeriveAppKeyExport, KeyMintsADeedUnderItsPublicKey) {
  const std::string seed(64, 'a');
  const auto [o, key] = app_key(seed, 7, "https://RP.example/");
  ASSERT_EQ(o.code, 0) << o.message;
  EXPECT_EQ(key.secret_key_hex.size(), 64u);
  EXPECT_EQ(key.pubkey_hex.size(), 66u);
  EXPECT_EQ(app_key(std::string(64, 'A'), 7, kOrigin).second.secret_key_hex, key.secret_key_hex);
  EXPECT_NE(app_key(seed, 8, kOrigin).second.secret_key_hex, key.secret_key_hex);
  EXPECT_NE(app_key(seed, 7, "https://rp.example:8443").second.secret_key_hex, key.secret_key_hex);

  const TextOutcome minted = mint_user_deed(key.secret_key_hex, 7, "rp", kOrigin, "c", 1);
  ASSERT_EQ(minted.code, 0);
  EXPECT_EQ(read_deed(minted.value).pubkey, key.pubkey_hex);
}

TEST(DeriveAppKeyExport, Refusals) {
  const std::string wrong_length = "input: rootSeedHex must decode to exactly 32 bytes";
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {std::string(62, 'a'), kOrigin, wrong_length},
      {std::string(66, 'a'), kOrigin, wrong_length},
      {"", kOrigin, wrong_length},
      {std::string(63, 'a'), kOrigin, "crypto: Odd number of digits"},
      {"0x" + std::string(62, 'a'), kOrigin, "crypto: Invalid character 'x' at position 1"},
      // Hex and length are judged before the origin.
      {std::string(63, 'a'), "bad", "crypto: Odd number of digits"},
      {std::string(62, 'a'), "bad", wrong_length},
      {std::string(64, 'a'), "bad", kNoScheme},
  };
  for (const auto& [seed, origin, error] : cases) check(app_key(seed, 1, origin).first, {"", error}, seed + " " + origin);
}

// --- passkey ---

TEST(PasskeySubExport, UsesTheOriginAsPassed) {
  auto sub = [](std::uint64_t tenant, const std::string& origin, const std::string& key) {
    return host::text_outcome([&](RustCallStatus* st) {
      return QSDK_FN(passkey_sub)(tenant, host::text(origin), host::text(key), st);
    });
  };
  const std::string text = "quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:https://rp.example|pubkey:04abcdef";
  check(sub(7, kOrigin, "04ABCDEF"), {sha256_hex(text), ""}, "upper");
  check(sub(7, kOrigin, "04abcdef"), {sha256_hex(text), ""}, "lower");
  EXPECT_NE(sub(7, "https://rp.example/", "04abcdef").value, sha256_hex(text));
  check(sub(7, "not an origin", ""), {sha256_hex("quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:not an origin|pubkey:"), ""},
        "never fails");
}

void put_deed_head(Bytes& out, std::string_view mode, std::uint64_t tenant, std::string_view sub, std::string_view aud,
                   std::string_view challenge, std::uint64_t exp) {
  host::put_u8(out, 1);
  host::put_string(out, mode);
  host::put_u64(out, tenant);
  host::put_string(out, sub);
  host::put_string(out, aud);
  host::put_string(out, challenge);
  host::put_u64(out, exp);
}

TEST(MintUserPasskeyDeedExport, WireFormIsExact) {
  const TextOutcome o = host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(mint_user_passkey_deed)(host::text("04AB"), host::text("AuthData"), host::text("eyJ9"),
                                           host::text("30FF"), 7, host::text("rp"), host::text("https://rp.example/"),
                                           host::text("c1"), 99, st);
  });
  ASSERT_EQ(o.code, 0) << o.message;
  Bytes expected;
  put_deed_head(expected, "user-passkey", 7,
                sha256_hex("quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:https://rp.example|pubkey:04ab"),
                "rp", "c1", 99);
  for (const std::optional<std::string>& f :
       {std::optional<std::string>{}, {}, {}, {}, {"04ab"}, {"AuthData"}, {"eyJ9"}, {"30FF"}, {}, {}, {}})
    host::put_opt_string(expected, f);
  EXPECT_EQ(Bytes(o.value.begin(), o.value.end()), expected);

  const TextOutcome refused = host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(mint_user_passkey_deed)(host::text(""), host::text(""), host::text(""), host::text(""), 7,
                                           host::text("rp"), host::text("https://rp.example/a"), host::text("c1"), 99,
                                           st);
  });
  check(refused, {"", kBadPath}, "path");
}

// --- user-1271 and admin ---

TextOutcome mint_1271(const std::string& addr, const std::string& sig, const std::string& origin) {
  return host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(mint_user_1271_deed)(host::text(addr), host::text(sig), 7, host::text("rp"), host::text(origin),
                                        host::text("c1"), 99, st);
  });
}

TEST(MintUser1271DeedExport, WireFormIsExact) {
  const TextOutcome o = mint_1271("0X" + std::string("52908400098527886E0F7030069857D2E4169EE7"), "", "https://RP.example:443");
  ASSERT_EQ(o.code, 0) << o.message;
  Bytes expected;
  put_deed_head(expected, "user-1271", 7,
                sha256_hex("quorvel-sovereign-user-1271-sub-v1|tenant:7|origin:https://rp.example|wallet:" + kAddr),
                "rp", "c1", 99);
  for (const std::optional<std::string>& f :
       {std::optional<std::string>{}, {}, {}, {""}, {}, {}, {}, {}, {kAddr}, {}, {}})
    host::put_opt_string(expected, f);
  EXPECT_EQ(Bytes(o.value.begin(), o.value.end()), expected);
}

TEST(MintUser1271DeedExport, ChecksOriginThenAddressThenSignature) {
  const std::vector<std::tuple<std::string, std::string, std::string, Expect>> cases = {
      {kAddr, "0xABCD", kOrigin, {"", ""}},
      {"zz", "zz", "https://rp.example/x", {"", kBadPath}},
      {"0x0x" + kAddr, "", kOrigin, {"", "input: Invalid character 'x' at position 1"}},
      {kAddr.substr(1), "zz", kOrigin, {"", "input: Odd number of digits"}},
      {kAddr.substr(2), "zz", kOrigin, {"", "input: address must be 20 bytes"}},
      {kAddr + "00", "", kOrigin, {"", "input: address must be 20 bytes"}},
      {kAddr, "abc", kOrigin, {"", "input: Odd number of digits"}},
      {kAddr, "0x0xab", kOrigin, {"", "input: Invalid character 'x' at position 1"}},
  };
  for (const auto& [addr, sig, origin, expect] : cases) check(mint_1271(addr, sig, origin), expect, addr + " " + sig);
  EXPECT_EQ(read_deed(mint_1271(kAddr, "0xABCD", kOrigin).value).signature, "abcd");
}

TextOutcome mint_admin(const std::string& sig, const std::string& aud = "rp") {
  return host::text_outcome([&](RustCallStatus* st) {
    return QSDK_FN(mint_admin_deed)(host::text(sig), 7, host::text(aud), host::text("c1"), 99, st);
  });
}

const std::string kAdminBinding =
    "rp is requesting administrative access to your Quorvel tenant.\n"
    "\n"
    "Signing this message grants FULL ADMINISTRATIVE ACCESS to the tenant\n"
    "below. Only sign it if you are on rp right now \xE2\x80\x94 signing it on any\n"
    "other site lets that site's operator administer your tenant.\n"
    "\n"
    "Tenant: 7\n"
    "Challenge: c1\n"
    "Expires (unix seconds): 99\n"
    "\n"
    "quorvel-sovereign-admin-v1";

TEST(MintAdminDeedExport, SubjectIsTheWalletThatSigned) {
  std::array<std::uint8_t, 32> key{};
  key[31] = 0x2a;
  const host::TestWallet wallet(key);
  const Bytes sig = wallet.personal_sign(kAdminBinding);
  Bytes low_v = sig;
  low_v[64] = static_cast<std::uint8_t>(low_v[64] - 27);

  for (const Bytes& s : {sig, low_v}) {
    for (const std::string_view prefix : {"", "0x", "0x0x"}) {
      const TextOutcome o = mint_admin(std::string(prefix) + hex(s));
      ASSERT_EQ(o.code, 0) << o.message;
      const Deed d = read_deed(o.value);
      EXPECT_EQ(d.mode, "admin-sig");
      EXPECT_EQ(d.sub, wallet.address());
      EXPECT_EQ(d.signature, hex(s)) << "the recovery byte is kept as supplied";
      EXPECT_FALSE(d.pubkey || d.signer);
    }
  }
  // Signed for another audience: recovers someone else.
  EXPECT_NE(read_deed(mint_admin(hex(sig), "rq").value).sub, wallet.address());
}

TEST(MintAdminDeedExport, Refusals) {
  std::array<std::uint8_t, 32> key{};
  key[31] = 0x2a;
  const Bytes sig = host::TestWallet(key).personal_sign(kAdminBinding);
  const std::string h = hex(sig);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0X" + h, "input: Invalid character 'X' at position 1"},
      {h.substr(1), "input: Odd number of digits"},
      {h.substr(0, 128), "input: signature must be 65 bytes"},
      {h + "00", "input: signature must be 65 bytes"},
      {h.substr(0, 128) + "02", "input: recovery id must be 0, 1, 27, or 28"},
      {h.substr(0, 128) + "1d", "input: recovery id must be 0, 1, 27, or 28"},
      {std::string(64, '0') + h.substr(64, 64) + "05", "crypto: signature error"},
  };
  for (const auto& [s, error] : cases) check(mint_admin(s), {"", error}, s);
}

TEST(MintAdminDeedSmartwalletExport, NamesTheContractAndChecksAddressFirst) {
  auto mint = [](const std::string& addr, const std::string& sig) {
    return host::text_outcome([&](RustCallStatus* st) {
      return QSDK_FN(mint_admin_deed_smartwallet)(host::text(addr), host::text(sig), 7, host::text("rp"),
                                                  host::text("c1"), 99, st);
    });
  };
  const TextOutcome o = mint("0X52908400098527886E0F7030069857D2E4169EE7", "0xFF00");
  ASSERT_EQ(o.code, 0) << o.message;
  Bytes expected;
  put_deed_head(expected, "admin-sig", 7, "0x" + kAddr, "rp", "c1", 99);
  for (const std::optional<std::string>& f :
       {std::optional<std::string>{}, {}, {}, {"ff00"}, {}, {}, {}, {}, {kAddr}, {}, {}})
    host::put_opt_string(expected, f);
  EXPECT_EQ(Bytes(o.value.begin(), o.value.end()), expected);

  check(mint(kAddr.substr(2), "0x0x"), {"", "input: address must be 20 bytes"}, "address first");
  check(mint(kAddr, "0x0xab"), {"", "input: Invalid character 'x' at position 1"}, "single prefix");
  check(mint(kAddr, ""), {"", ""}, "empty signature");
}

}  // namespace
