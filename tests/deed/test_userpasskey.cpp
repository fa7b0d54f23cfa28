#include <gtest/gtest.h>
#include <sys/mman.h>

#include "crypto/hash.hpp"
#include "deed/userpasskey.hpp"

namespace qsdk::core {
namespace {

const std::string kOrigin = "https://rp.example";

std::string digest_of(std::string_view text) { return hex_encode(sha256(as_bytes(text))); }

TEST(PasskeySub, HashesTheTextWithTheKeyLowerCased) {
  struct Case {
    std::uint64_t tenant;
    std::string origin, key;
    std::string hashed;
  };
  const std::vector<Case> cases = {
      {7, kOrigin, "04ABcdEF", "quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:https://rp.example|pubkey:04abcdef"},
      {0, kOrigin, "", "quorvel-sovereign-user-passkey-sub-v1|tenant:0|origin:https://rp.example|pubkey:"},
      // Not canonicalised here: the trailing slash stays in the hashed text.
      {1, "https://RP.example/", "aa", "quorvel-sovereign-user-passkey-sub-v1|tenant:1|origin:https://RP.example/|pubkey:aa"},
      // The key is text: non-hex is kept, with Unicode lower-casing.
      {2, kOrigin, "\xC3\x89Z\xCE\xA3", "quorvel-sovereign-user-passkey-sub-v1|tenant:2|origin:https://rp.example|pubkey:\xC3\xA9z\xCF\x82"},
  };
  for (const auto& c : cases) EXPECT_EQ(passkey_sub(c.tenant, c.origin, c.key), digest_of(c.hashed)) << c.hashed;
  EXPECT_EQ(passkey_sub(7, kOrigin, "ABCDEF"), passkey_sub(7, kOrigin, "abcdef"));
}

TEST(MintUserPasskeyDeed, CarriesTheAssertionAndCanonicalSubject) {
  const PasskeyAssertion assertion{"04AB", "AuthData", "eyJ0eXBlIjoid2ViYXV0aG4uZ2V0In0", "3045FF"};
  auto deed = mint_user_passkey_deed(assertion, 7, "rp", "https://RP.example:443/", "c1", 99);
  ASSERT_TRUE(deed);
  EXPECT_EQ(deed->v, 1);
  EXPECT_EQ(deed->mode, "user-passkey");
  EXPECT_EQ(deed->sub, passkey_sub(7, kOrigin, "04ab"));
  EXPECT_EQ(deed->credential_pubkey, "04ab");
  EXPECT_EQ(deed->authenticator_data, "AuthData");
  EXPECT_EQ(deed->client_data_json, "eyJ0eXBlIjoid2ViYXV0aG4uZ2V0In0");
  EXPECT_EQ(deed->assertion_sig, "3045FF");
  EXPECT_EQ(std::tie(deed->tenant, deed->aud, deed->challenge, deed->exp), std::make_tuple(7u, "rp", "c1", 99u));
  for (const auto* absent : {&deed->root, &deed->proof, &deed->pubkey, &deed->signature, &deed->signer})
    EXPECT_FALSE(absent->has_value());
  EXPECT_FALSE(deed->grants || deed->delegations);
  EXPECT_EQ(mint_user_passkey_deed(assertion, 7, "rp", kOrigin, "c1", 99), deed);
}

TEST(MintUserPasskeyDeed, AcceptsEmptyTextsAndRefusesOnlyTheOrigin) {
  auto empty = mint_user_passkey_deed({}, 7, "", kOrigin, "", 0);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->sub, digest_of("quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:https://rp.example|pubkey:"));
  EXPECT_EQ(empty->credential_pubkey, "");
  EXPECT_EQ(empty->assertion_sig, "");

  auto refused = mint_user_passkey_deed({"04", "", "", ""}, 7, "rp", "https://rp.example/a", "c", 1);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().text(),
            "input: origin: must be scheme://host[:port], optionally with one trailing slash, and no path");
}

// A non-ASCII key text too long for ICU's 32-bit counts is refused, not cut
// or emptied. The views span reserved, untouched pages behind one non-ASCII
// byte, so nothing of that size is ever allocated or read.
TEST(PasskeySub, RefusesANonAsciiKeyTextTooLongForIcu) {
  const std::string refusal = "input: credential key text must be ASCII or at most 715827882 bytes";
  for (const std::size_t size : {std::size_t{715827883}, std::size_t{1} << 31, (std::size_t{1} << 32) + 2}) {
    void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (pages == MAP_FAILED) GTEST_SKIP() << "no address space for " << size << " bytes";
    static_cast<char*>(pages)[0] = '\xC3';
    const std::string_view key(static_cast<const char*>(pages), size);
    const auto sub = passkey_sub(7, kOrigin, key);
    const auto deed = mint_user_passkey_deed({key, "", "", ""}, 7, "rp", kOrigin, "c", 1);
    munmap(pages, size);
    ASSERT_FALSE(sub) << size;
    EXPECT_EQ(sub.error().text(), refusal) << size;
    ASSERT_FALSE(deed) << size;
    EXPECT_EQ(deed.error().text(), refusal) << size;
  }
}

}  // namespace
}  // namespace qsdk::core
