#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/secp256k1.hpp"
#include "vouch/originvouch.hpp"

namespace qsdk::core {
namespace {

std::size_t count(std::string_view hay, std::string_view needle) {
  std::size_t n = 0;
  for (auto pos = hay.find(needle); pos != std::string_view::npos; pos = hay.find(needle, pos + 1)) ++n;
  return n;
}

TEST(OriginVouch, ProseLayout) {
  const std::string origin = "https://Wallet.Example:443/";
  auto m = origin_vouch_binding(42, "rp-aud", origin, 7, 1700000000, false);
  ASSERT_TRUE(m.has_value()) << m.error().text();
  EXPECT_EQ(m->size(), 350 + 5 * origin.size() + 2 * 2 + 6 + 1 + 10);
  EXPECT_EQ(count(*m, origin), 5u) << "the caller's spelling, not the canonical one";
  EXPECT_EQ(count(*m, "https://wallet.example"), 0u);
  EXPECT_EQ(std::count(m->begin(), m->end(), '\n'), 13);
  EXPECT_TRUE(m->ends_with("\n\nquorvel-origin-v1"));
  EXPECT_TRUE(m->starts_with(origin + " is claiming to act for Quorvel tenant 42.\n\n"));
  EXPECT_NE(m->find("tenant AND you control " + origin + " \xe2\x80\x94 anyone holding"), std::string::npos);
  EXPECT_NE(m->find("\nTenant: 42\nAudience: rp-aud\nOrigin: " + origin + "\nEpoch: 7\nExpires (unix seconds): 1700000000\n"),
            std::string::npos);
}

TEST(OriginVouch, EmptyAndZeroValuesAppearAsIs) {
  auto m = origin_vouch_binding(0, "", "https://a.example", 0, 0, false);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->size(), 350 + 5 * 17 + 2 + 0 + 1 + 1);
}

TEST(OriginVouch, PolicyRefusalsAndTheFlag) {
  auto refused = origin_vouch_binding(1, "a", "http://localhost", 1, 2, false);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error(), CoreError::insecure_origin("http://localhost: scheme must be https in production"));
  EXPECT_TRUE(origin_vouch_binding(1, "a", "http://localhost", 1, 2, true).has_value());
  auto malformed = origin_vouch_binding(1, "a", "https://x.example/p", 1, 2, true);
  ASSERT_FALSE(malformed.has_value());
  EXPECT_EQ(malformed.error().kind(), ErrorKind::Input);
}

TEST(OriginVouch, SignerRecoversTheSigningKey) {
  const std::string key = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
  const std::string origin = "http://localhost:3000";
  auto prose = origin_vouch_binding(9, "aud", origin, 3, 99, true);
  ASSERT_TRUE(prose.has_value());
  auto sig = eip191_sign(key, as_bytes(*prose));
  ASSERT_TRUE(sig.has_value());
  const std::string sig_hex = sig->substr(2);

  auto expected = eip191_sign(key, as_bytes("any"));  // only to learn the key's address below
  ASSERT_TRUE(expected.has_value());
  auto addr = eip191_recover(as_bytes("any"), *hex_decode(expected->substr(2)));
  ASSERT_TRUE(addr.has_value());
  const std::string want = address_text(*addr);

  auto got = origin_vouch_signer(9, "aud", origin, 3, 99, sig_hex);
  ASSERT_TRUE(got.has_value()) << got.error().text();
  EXPECT_EQ(*got, want);
  EXPECT_EQ(got->size(), 42u);

  // Any one value changed yields another address, not an error.
  const std::vector<Result<std::string>> altered = {
      origin_vouch_signer(10, "aud", origin, 3, 99, sig_hex),
      origin_vouch_signer(9, "aud2", origin, 3, 99, sig_hex),
      origin_vouch_signer(9, "aud", "http://LOCALHOST:3000", 3, 99, sig_hex),
      origin_vouch_signer(9, "aud", origin, 4, 99, sig_hex),
      origin_vouch_signer(9, "aud", origin, 3, 100, sig_hex),
  };
  for (const auto& r : altered) {
    ASSERT_TRUE(r.has_value()) << r.error().text();
    EXPECT_NE(*r, want);
  }
}

TEST(OriginVouch, SignerFailures) {
  const std::string sig65(130, '1');
  struct Case {
    std::string origin, signature;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"https://a.example", "0x" + sig65, "crypto: Invalid character 'x' at position 1"},
      {"https://a.example", sig65 + "1", "crypto: Odd number of digits"},
      {"https://a.example/path", "zz", "crypto: Invalid character 'z' at position 0"},
      {"https://a.example/path", sig65, "input: origin: must be scheme://host[:port], optionally with one trailing slash, and no path"},
      {"https://a.example", std::string(128, '1'), "input: signature must be 65 bytes"},
      {"https://a.example", std::string(128, '1') + "05", "input: recovery id must be 0, 1, 27, or 28"},
  };
  for (const auto& c : cases) {
    auto r = origin_vouch_signer(1, "a", c.origin, 1, 2, c.signature);
    ASSERT_FALSE(r.has_value()) << c.signature;
    EXPECT_EQ(r.error().text(), c.error);
  }
}

TEST(OriginVouch, MaxTtl) { EXPECT_EQ(origin_vouch_max_ttl_secs(), 7776000u); }

TEST(RegistryCall, SelectorIsKeccakOfTheSignature) {
  EXPECT_EQ(is_origin_voucher_selector(), (std::array<std::uint8_t, 4>{0x04, 0xe8, 0xe8, 0xda}));
}

TEST(RegistryCall, CallDataLayout) {
  const std::string zero(40, '0');
  auto data = is_origin_voucher_calldata(1, zero, 1);
  ASSERT_TRUE(data.has_value());
  Bytes want(100, 0);
  want[0] = 0x04, want[1] = 0xe8, want[2] = 0xe8, want[3] = 0xda;
  want[35] = 1;
  want[99] = 1;
  EXPECT_EQ(*data, want);

  auto max = is_origin_voucher_calldata(UINT64_MAX, zero, UINT64_MAX);
  ASSERT_TRUE(max.has_value());
  for (std::size_t i = 4; i < 100; ++i) {
    const bool ff = (i >= 28 && i <= 35) || i >= 92;
    EXPECT_EQ((*max)[i], ff ? 0xff : 0x00) << i;
  }

  const std::string addr = "5aAeb6053F3E94C9b9A09f33669435E7Ef1BeAed";
  auto plain = is_origin_voucher_calldata(7, addr, 3);
  ASSERT_TRUE(plain.has_value());
  for (const std::string& spelling : {"0x" + addr, "0x0x" + addr, std::string("5aaeb6053f3e94c9b9a09f33669435e7ef1beaed")}) {
    auto other = is_origin_voucher_calldata(7, spelling, 3);
    ASSERT_TRUE(other.has_value()) << spelling;
    EXPECT_EQ(*other, *plain) << spelling;
  }
  EXPECT_EQ(Bytes(plain->begin() + 48, plain->begin() + 68), *hex_decode(addr));
}

TEST(RegistryCall, CallDataFailures) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(38, 'a'), "input: signer must be a 20-byte address"},
      {std::string(42, 'a'), "input: signer must be a 20-byte address"},
      {"", "input: signer must be a 20-byte address"},
      {"0x", "input: signer must be a 20-byte address"},
      {std::string(39, 'a'), "crypto: Odd number of digits"},
      {"0X" + std::string(40, 'a'), "crypto: Invalid character 'X' at position 1"},
      {"0x0x" + std::string(39, 'a') + "g", "crypto: Invalid character 'g' at position 39"},
  };
  for (const auto& [signer, error] : cases) {
    auto r = is_origin_voucher_calldata(1, signer, 1);
    ASSERT_FALSE(r.has_value()) << signer;
    EXPECT_EQ(r.error().text(), error) << signer;
  }
}

TEST(RegistryCall, DecodeBoolReturn) {
  auto word = [](std::uint8_t last, std::uint8_t first = 0) {
    Bytes w(32, 0);
    w[0] = first;
    w[31] = last;
    return w;
  };
  const std::vector<std::pair<Bytes, Result<bool>>> cases = {
      {word(0), false},
      {word(1), true},
      {word(2), true},
      {word(0xff), true},
      {word(0, 0xff), false},
      {Bytes{}, std::unexpected(CoreError::input("isOriginVoucher returned 0 bytes, expected 32"))},
      {Bytes(31, 0), std::unexpected(CoreError::input("isOriginVoucher returned 31 bytes, expected 32"))},
      {Bytes(64, 0), std::unexpected(CoreError::input("isOriginVoucher returned 64 bytes, expected 32"))},
  };
  for (const auto& [ret, want] : cases) EXPECT_EQ(decode_bool_return(ret), want) << ret.size();
}

}  // namespace
}  // namespace qsdk::core
