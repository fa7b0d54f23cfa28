// Token verification and issuer key id exports through the C interface.
#include <gtest/gtest.h>

#include "es256_issuer.hpp"
#include "ffi/host.hpp"

namespace {

using VerifyFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustCallStatus*);
using KeyIdFn = RustBuffer(RustBuffer, RustCallStatus*);

const es256::Issuer& issuer() {
  static const es256::Issuer key{es256::kSecret2};
  return key;
}

// The second test key's thumbprint, computed independently.
constexpr const char* kKeyId = "43c4b64fd5e468723bfd52471aec38ca18b8091c833c6074b322801e046350ea";

host::TextOutcome key_id(const std::string& jwk) {
  auto* fn = host::lib().op<KeyIdFn>("issuer_key_id");
  return host::text_outcome([&](RustCallStatus* st) { return fn(host::text(jwk), st); });
}

TEST(TokenExports, IssuerKeyIdIsLowerCaseHexOrABadKeyError) {
  const auto ok = key_id(issuer().jwk(R"(,"kid":"ignored")"));
  EXPECT_EQ(ok.code, 0);
  EXPECT_EQ(ok.value, kKeyId);

  const auto refused = key_id(R"({"kty":"RSA","n":"AQAB","e":"AQAB"})");
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.variant, host::kSdk);
  EXPECT_EQ(refused.message, "bad key: unsupported kty");
}

struct Verified {
  host::Status status;
  host::Bytes claims;
};

void verify(Verified& out, const std::string& jwt, const std::string& jwks, std::uint64_t now) {
  auto* fn = host::lib().op<VerifyFn>("verify_token_at");
  RustBuffer result = fn(host::text(jwt), host::text(jwks), host::text("https://issuer.example"),
                         host::text("client-1"), now, &out.status);
  if (out.status.code() == 0) {
    out.claims = host::take(result);
  } else {
    EXPECT_EQ(result.data, nullptr) << "no partial Claims on failure";
    EXPECT_EQ(result.len, 0u);
  }
}

TEST(TokenExports, ClaimsCrossFieldForField) {
  const std::string jwks = R"({"keys":[)" + es256::Issuer(es256::kSecret1).jwk() + "," + issuer().jwk() + "]}";
  const std::string jwt = issuer().token(
      std::string(R"({"alg":"ES256","kid":")") + kKeyId + R"("})",
      R"({"iss":"https://issuer.example","sub":"user-1","aud":"client-1","exp":1000,"iat":900,"tid":42,"nonce":"n-1"})");

  Verified ok;
  verify(ok, jwt, jwks, 1060);
  ASSERT_EQ(ok.status.code(), 0);
  host::Cursor c(ok.claims);
  EXPECT_EQ(c.string(), "https://issuer.example");
  EXPECT_EQ(c.string(), "user-1");
  EXPECT_EQ(c.string(), "client-1");
  EXPECT_EQ(c.u64(), 1000u);
  EXPECT_EQ(c.u64(), 900u);
  EXPECT_EQ(c.opt_u64(), 42u);
  EXPECT_EQ(c.opt_string(), "n-1");
  EXPECT_TRUE(c.at_end());

  Verified late;
  verify(late, jwt, jwks, 1061);
  EXPECT_EQ(late.status.code(), 1);
  EXPECT_EQ(late.status.sdk_error(), std::make_pair(host::kSdk, std::string("claim: expired")));
}

TEST(TokenExports, AbsentOptionalsAreZeroTags) {
  const std::string jwks = R"({"keys":[)" + issuer().jwk() + "]}";
  const std::string jwt = issuer().token(R"({"alg":"ES256"})",
                                         R"({"iss":"https://issuer.example","sub":"","aud":"client-1","exp":0,"iat":0})");
  Verified ok;
  verify(ok, jwt, jwks, 60);
  ASSERT_EQ(ok.status.code(), 0);
  // exp and iat zero, then the tags of the two absent optionals.
  host::Bytes tail(ok.claims.end() - 18, ok.claims.end());
  EXPECT_EQ(tail, host::Bytes(18, 0));
}

}  // namespace
