#include <gtest/gtest.h>

#include <set>

#include "base/codec.hpp"
#include "crypto/random.hpp"
#include "oauth/pkce.hpp"
#include "testdata.hpp"

namespace qsdk::core {
namespace {

TEST(Pkce, Rfc7636AppendixB) {
  QSDK_LOAD_TESTDATA(doc, "rfc/rfc7636_appendix_b_pkce.json");
  Bytes octets;
  for (const auto& v : doc["random_octets"].GetArray()) octets.push_back(static_cast<std::uint8_t>(v.GetUint()));
  const std::string verifier = doc["code_verifier"].GetString();
  EXPECT_EQ(base64url_encode(octets), verifier);
  EXPECT_EQ(pkce_challenge(verifier), doc["code_challenge"].GetString());
}

TEST(Pkce, ChallengeTakesAnyTextAsGiven) {
  EXPECT_EQ(pkce_challenge(""), "47DEQpj8HBSa-_TImW-5JCeuQeRkm5NMpJWZG3hSuFU");
  EXPECT_EQ(pkce_challenge(" a b "), "MfPV8yiKABd1VTbKay6MJln5vpzhytwBPcIWrG05wUM");
  EXPECT_NE(pkce_challenge("caf\xc3\xa9"), pkce_challenge("cafe"));
}

bool base64url_alphabet(const std::string& s) {
  return s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_") == std::string::npos;
}

TEST(Pkce, ThousandFreshPairsHaveTheRightShapeAndDiffer) {
  std::set<std::string> verifiers;
  for (int i = 0; i < 1000; ++i) {
    const Pkce p = generate_pkce();
    ASSERT_EQ(p.verifier.size(), 43u);
    ASSERT_EQ(p.challenge.size(), 43u);
    ASSERT_TRUE(base64url_alphabet(p.verifier)) << p.verifier;
    ASSERT_TRUE(base64url_alphabet(p.challenge)) << p.challenge;
    ASSERT_EQ(p.challenge, pkce_challenge(p.verifier));
    verifiers.insert(p.verifier);
  }
  EXPECT_EQ(verifiers.size(), 1000u);
}

// The device-file path serves kernels without getrandom and sandboxes that
// forbid it; exercise it here, where the system call works.
TEST(OsRandom, DeviceFallbackFillsEveryByteAndVaries) {
  std::array<std::uint8_t, 4096> a{}, b{};
  os_random::fill_from_device(a);
  os_random::fill_from_device(b);
  EXPECT_NE(a, b);
  // 4096 zero bytes from a working source is beyond any plausibility.
  EXPECT_NE(std::count(a.begin(), a.end(), 0), 4096);
  std::array<std::uint8_t, 0> none{};
  os_random::fill_from_device(none);
  os_random::fill(none);
}

}  // namespace
}  // namespace qsdk::core
