// The authorisation request URL: what survives of the issuer, the seven
// pairs and their encoding, and the refusals of an issuer that does not parse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oauth/authorize_url.hpp"

namespace qsdk::core {
namespace {

const AuthorizeParams kParams{"client-1", "https://app.example/cb", "st", "n",
                              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"};
const std::string kPairs =
    "response_type=code&client_id=client-1&redirect_uri=https%3A%2F%2Fapp.example%2Fcb&state=st&nonce=n"
    "&code_challenge=E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM&code_challenge_method=S256";

struct IssuerCase {
  std::string issuer;
  std::string expected;  // the URL, or the full error text
};

TEST(AuthorizeUrl, KeepsTheIssuerButItsPath) {
  const std::vector<IssuerCase> cases = {
      {"https://issuer.example", "https://issuer.example/authorize?" + kPairs},
      {"https://issuer.example/", "https://issuer.example/authorize?" + kPairs},
      {"https://issuer.example/tenants/7/", "https://issuer.example/authorize?" + kPairs},
      {"https://issuer.example/tenants/7/authorize", "https://issuer.example/authorize?" + kPairs},
      {"https://user:pw@Issuer.Example:8443/tenants/7/?x=1#frag",
       "https://user:pw@issuer.example:8443/authorize?x=1&" + kPairs + "#frag"},
      {"https://issuer.example?x=1", "https://issuer.example/authorize?x=1&" + kPairs},
      {"https://issuer.example/?x=1&", "https://issuer.example/authorize?x=1&&" + kPairs},
      {"https://issuer.example/?", "https://issuer.example/authorize?" + kPairs},
      {"https://issuer.example/#top", "https://issuer.example/authorize?" + kPairs + "#top"},
      {"https://issuer.example/#", "https://issuer.example/authorize?" + kPairs + "#"},
      {"HTTPS://ISSUER.EXAMPLE:443", "https://issuer.example/authorize?" + kPairs},
      {" https://issuer.example/\n", "https://issuer.example/authorize?" + kPairs},
      {"http://issuer.example:8080", "http://issuer.example:8080/authorize?" + kPairs},
      {"https://B\xc3\xbc" "cher.example", "https://xn--bcher-kva.example/authorize?" + kPairs},
      {"https://\xe4\xbe\x8b\xe3\x81\x88.\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88",
       "https://xn--r8jz45g.xn--zckzah/authorize?" + kPairs},
      {"http://0x7f.1:8080", "http://127.0.0.1:8080/authorize?" + kPairs},
      {"http://2130706433", "http://127.0.0.1/authorize?" + kPairs},
      {"https://[0:0::1]:8443/x", "https://[::1]:8443/authorize?" + kPairs},
      {"foo://issuer/x", "foo://issuer/authorize?" + kPairs},
      {"foo:/x", "foo:/authorize?" + kPairs},
      {"file:///C:/x", "file:///authorize?" + kPairs},
      // An opaque path has no root: the path is written encoded instead.
      {"mailto:issuer@example.com", "mailto:%2Fauthorize?" + kPairs},
      {"urn:issuer?x=1#f", "urn:%2Fauthorize?x=1&" + kPairs + "#f"},
  };
  for (const auto& c : cases) {
    const auto r = build_authorize_url(c.issuer, kParams);
    ASSERT_TRUE(r.has_value()) << c.issuer << ": " << r.error().text();
    EXPECT_EQ(*r, c.expected) << c.issuer;
  }
}

TEST(AuthorizeUrl, RefusesAnIssuerThatIsNotAnAbsoluteUrl) {
  const std::vector<IssuerCase> cases = {
      {"", "input: relative URL without a base"},
      {"issuer.example", "input: relative URL without a base"},
      {"//issuer.example", "input: relative URL without a base"},
      {"https://", "input: empty host"},
      {"https://:8443", "input: empty host"},
      {"https://issuer.example:65536", "input: invalid port number"},
      {"https://issuer.example:80a", "input: invalid port number"},
      {"https://256.1.1.1", "input: invalid IPv4 address"},
      {"https://issuer.0x100000000", "input: invalid IPv4 address"},
      {"https://[::1", "input: invalid IPv6 address"},
      {"https://[::g]", "input: invalid IPv6 address"},
      {"https://issuer example", "input: invalid domain character"},
      {"https://issuer%2Fexample", "input: invalid domain character"},
      {"https://\xe2\x80\x8d.example", "input: invalid international domain name"},
  };
  for (const auto& c : cases) {
    const auto r = build_authorize_url(c.issuer, kParams);
    ASSERT_FALSE(r.has_value()) << c.issuer << " gave " << *r;
    EXPECT_EQ(r.error().kind(), ErrorKind::Input) << c.issuer;
    EXPECT_EQ(r.error().text(), c.expected) << c.issuer;
  }
}

struct ParamsCase {
  AuthorizeParams params;
  std::string pairs;
};

TEST(AuthorizeUrl, WritesEveryPairFormEncodedInItsPlace) {
  const std::vector<ParamsCase> cases = {
      {{"", "", "", "", ""},
       "response_type=code&client_id=&redirect_uri=&state=&nonce=&code_challenge=&code_challenge_method=S256"},
      // A value cannot end its pair, add a parameter or start a fragment.
      {{"c&response_type=token", "r", "x&y=z#f", "n=1", "ch"},
       "response_type=code&client_id=c%26response_type%3Dtoken&redirect_uri=r&state=x%26y%3Dz%23f&nonce=n%3D1"
       "&code_challenge=ch&code_challenge_method=S256"},
      {{"c", "https://app.example/cb?a=1 2&\xc3\xa9", "s t", "+", "~*"},
       "response_type=code&client_id=c&redirect_uri=https%3A%2F%2Fapp.example%2Fcb%3Fa%3D1+2%26%C3%A9"
       "&state=s+t&nonce=%2B&code_challenge=%7E*&code_challenge_method=S256"},
  };
  for (const auto& c : cases) {
    const auto r = build_authorize_url("https://issuer.example", c.params);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, "https://issuer.example/authorize?" + c.pairs);
  }
}

}  // namespace
}  // namespace qsdk::core
