#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/curve_support.hpp"
#include "deed/adminsig.hpp"

namespace qsdk::core {
namespace {

using testing::unhex;

const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";

TEST(AdminBinding, ExactProse) {
  const std::string text = admin_binding(7, "rp", "c1", 99);
  EXPECT_EQ(text,
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
            "quorvel-sovereign-admin-v1");
  EXPECT_EQ(text.size() - 2 * 2 - 1 - 2 - 2, 333u);  // fixed bytes without aud twice, 7, c1, 99
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_TRUE(admin_binding(0, "", "", 0).starts_with(" is requesting"));
}

class MintAdminDeed : public ::testing::Test {
 protected:
  const std::string address = address_text(eth_address(public_key_of(testing::key_from_hex(kKeyHex))));
  Bytes signature = unhex(eip191_sign(kKeyHex, as_bytes(admin_binding(7, "rp", "c1", 99))).value().substr(2));
};

TEST_F(MintAdminDeed, SubjectIsTheRecoveredSigner) {
  auto deed = mint_admin_deed(signature, 7, "rp", "c1", 99);
  ASSERT_TRUE(deed);
  EXPECT_EQ(deed->mode, "admin-sig");
  EXPECT_EQ(deed->sub, address);
  EXPECT_EQ(deed->signature, hex_encode(signature));
  EXPECT_FALSE(deed->pubkey || deed->signer || deed->root || deed->proof || deed->credential_pubkey);

  // v = 0 recovers alike and is stored as supplied.
  Bytes low_v = signature;
  low_v[64] = static_cast<std::uint8_t>(low_v[64] - 27);
  auto low = mint_admin_deed(low_v, 7, "rp", "c1", 99);
  ASSERT_TRUE(low);
  EXPECT_EQ(low->sub, address);
  EXPECT_EQ(low->signature, hex_encode(low_v));

  // Any other term in the binding names another signer.
  EXPECT_NE(mint_admin_deed(signature, 8, "rp", "c1", 99)->sub, address);
  EXPECT_NE(mint_admin_deed(signature, 7, "rq", "c1", 99)->sub, address);
}

}  // namespace
}  // namespace qsdk::core
