#include <gtest/gtest.h>

#include "crypto/hash.hpp"
#include "deed/user1271.hpp"

namespace qsdk::core {
namespace {

const std::string kOrigin = "https://rp.example";
const std::string kAddr = "52908400098527886e0f7030069857d2e4169ee7";
const std::string kAddrUpper = "0X52908400098527886E0F7030069857D2E4169EE7";

// The wallet texts shared by the smart-wallet mints.
TEST(WalletTexts, AddressAndSignatureRules) {
  struct Case {
    std::string text;
    std::string outcome;  // lower-case hex, or the error
  };
  const std::vector<Case> addresses = {
      {kAddr, kAddr},
      {"0x" + kAddr, kAddr},
      {kAddrUpper, kAddr},
      {"0x0x" + kAddr, "input: Invalid character 'x' at position 1"},
      {kAddr.substr(1), "input: Odd number of digits"},
      {kAddr.substr(2), "input: address must be 20 bytes"},
      {kAddr + "00", "input: address must be 20 bytes"},
      {"", "input: address must be 20 bytes"},
      {"0x", "input: address must be 20 bytes"},
      {"zz" + kAddr.substr(2), "input: Invalid character 'z' at position 0"},
  };
  for (const auto& c : addresses) {
    auto r = parse_wallet_address(c.text);
    EXPECT_EQ(r ? hex_encode(*r) : r.error().text(), c.outcome) << c.text;
  }
  const std::vector<Case> signatures = {
      {"", ""},
      {"0x", ""},
      {"0XABcd", "abcd"},
      {"0x0xab", "input: Invalid character 'x' at position 1"},
      {"abc", "input: Odd number of digits"},
  };
  for (const auto& c : signatures) {
    auto r = parse_wallet_signature(c.text);
    EXPECT_EQ(r ? hex_encode(*r) : r.error().text(), c.outcome) << c.text;
  }
}

TEST(MintUser1271Deed, AssemblesTheDeed) {
  auto deed = mint_user_1271_deed(kAddrUpper, "0xABCD", 7, "rp", "https://RP.example/", "c1", 99);
  ASSERT_TRUE(deed);
  EXPECT_EQ(deed->mode, "user-1271");
  EXPECT_EQ(deed->v, 1);
  EXPECT_EQ(deed->sub, hex_encode(sha256(as_bytes(
                           "quorvel-sovereign-user-1271-sub-v1|tenant:7|origin:https://rp.example|wallet:" + kAddr))));
  EXPECT_EQ(deed->signature, "abcd");
  EXPECT_EQ(deed->signer, kAddr);
  for (const auto* absent : {&deed->root, &deed->proof, &deed->pubkey, &deed->credential_pubkey,
                             &deed->authenticator_data, &deed->client_data_json, &deed->assertion_sig})
    EXPECT_FALSE(absent->has_value());

  // Letter case of the address and spelling of the origin do not change the subject.
  EXPECT_EQ(mint_user_1271_deed(kAddr, "", 7, "rp", "https://rp.example:443", "c1", 99)->sub, deed->sub);
  EXPECT_EQ(mint_user_1271_deed(kAddr, "", 7, "rp", kOrigin, "c1", 99)->signature, "");
  EXPECT_NE(mint_user_1271_deed(kAddr, "", 8, "rp", kOrigin, "c1", 99)->sub, deed->sub);
}

}  // namespace
}  // namespace qsdk::core
