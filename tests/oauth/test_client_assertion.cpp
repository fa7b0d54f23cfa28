#include <gtest/gtest.h>

#include "base/codec.hpp"
#include "crypto/secp256k1.hpp"
#include "oauth/client_assertion.hpp"

namespace qsdk::core {
namespace {

const std::string kKey = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const std::string kOrder = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";

TEST(ClientAssertion, FiveLinesVerbatim) {
  EXPECT_EQ(build_client_assertion("", 0, "", 0),
            "Quorvel client-credentials\ndomain: \ntenant: 0\nnonce: \nissued-at: 0");
  EXPECT_EQ(build_client_assertion("api.example", UINT64_MAX, "n\n1", UINT64_MAX),
            "Quorvel client-credentials\ndomain: api.example\ntenant: 18446744073709551615\nnonce: n\n1\n"
            "issued-at: 18446744073709551615");
}

TEST(ClientAssertion, SignatureRecoversTheKeysAddressOverTheBuiltText) {
  auto sig = sign_client_assertion(kKey, "api.example", 7, "abc", 1700000000);
  ASSERT_TRUE(sig.has_value()) << sig.error().text();
  ASSERT_EQ(sig->size(), 132u);
  EXPECT_TRUE(sig->starts_with("0x"));
  EXPECT_TRUE(sig->ends_with("1b") || sig->ends_with("1c"));
  const std::string text = build_client_assertion("api.example", 7, "abc", 1700000000);
  EXPECT_EQ(*sig, *eip191_sign(kKey, as_bytes(text)));
  auto addr = eip191_recover(as_bytes(text), *hex_decode(sig->substr(2)));
  ASSERT_TRUE(addr.has_value());
  // The well-known address of this key.
  EXPECT_EQ(address_text(*addr), "0x2c7536e3605d9c16a7a3d7b1898e529396a65c23");
}

TEST(ClientAssertion, KeySpellings) {
  auto base = sign_client_assertion(kKey, "d", 1, "n", 2);
  ASSERT_TRUE(base.has_value());
  std::string upper = kKey;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& k : {"0x" + kKey, "0x0x" + kKey, upper}) EXPECT_EQ(sign_client_assertion(k, "d", 1, "n", 2), base);
  const std::string short_key = std::string(62, '1');
  EXPECT_EQ(sign_client_assertion(short_key, "d", 1, "n", 2), sign_client_assertion("00" + short_key, "d", 1, "n", 2));
}

TEST(ClientAssertion, KeyFailures) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0X" + kKey, "input: Invalid character 'X' at position 1"},
      {"0", "input: Odd number of digits"},
      {std::string(63, 'z'), "input: Odd number of digits"},
      {"0x" + std::string(63, '1') + "g", "input: Invalid character 'g' at position 63"},
      {"", "crypto: signature error"},
      {"0x", "crypto: signature error"},
      {std::string(46, '1'), "crypto: signature error"},
      {std::string(66, '1'), "crypto: signature error"},
      {std::string(64, '0'), "crypto: signature error"},
      {kOrder, "crypto: signature error"},
  };
  for (const auto& [key, error] : cases) {
    auto r = sign_client_assertion(key, "d", 1, "n", 2);
    ASSERT_FALSE(r.has_value()) << key;
    EXPECT_EQ(r.error().text(), error) << key;
  }
}

}  // namespace
}  // namespace qsdk::core
