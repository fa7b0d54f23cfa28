#include <gtest/gtest.h>

#include "origin/origin.hpp"

namespace qsdk::core {
namespace {

std::string scheme_refusal(std::string_view canonical) {
  return std::string(canonical) + ": scheme must be https in production";
}
std::string host_refusal(std::string_view canonical, std::string_view host) {
  return std::string(canonical) + ": host '" + std::string(host) +
         "' is not routable in production (loopback/private/link-local/mDNS)";
}

struct Case {
  std::string origin;
  std::optional<std::string> refusal;  // nullopt: accepted
};

TEST(OriginPolicy, RefusesWhatIsNotRoutableInProduction) {
  const std::vector<Case> cases = {
      {"http://localhost", scheme_refusal("http://localhost")},
      {"http://Example.COM:80/", scheme_refusal("http://example.com")},
      {"https://LOCALHOST:8443/", host_refusal("https://localhost:8443", "localhost")},
      {"https://x.localhost", host_refusal("https://x.localhost", "x.localhost")},
      {"https://x.local", host_refusal("https://x.local", "x.local")},
      {"https://0.0.0.0", host_refusal("https://0.0.0.0", "0.0.0.0")},
      {"https://10.1.2.3", host_refusal("https://10.1.2.3", "10.1.2.3")},
      {"https://127.0.0.1:8443", host_refusal("https://127.0.0.1:8443", "127.0.0.1")},
      {"https://169.254.1.1", host_refusal("https://169.254.1.1", "169.254.1.1")},
      {"https://172.16.0.1", host_refusal("https://172.16.0.1", "172.16.0.1")},
      {"https://172.31.255.255", host_refusal("https://172.31.255.255", "172.31.255.255")},
      {"https://192.168.0.1", host_refusal("https://192.168.0.1", "192.168.0.1")},
      {"https://[::1]", host_refusal("https://[::1]", "[::1]")},
      {"https://[::]:8443", host_refusal("https://[::]:8443", "[::]")},
      {"https://[fe80::1]", host_refusal("https://[fe80::1]", "[fe80::1]")},
      {"https://[FEBF::1]", host_refusal("https://[febf::1]", "[febf::1]")},
      {"https://[fc00::1]", host_refusal("https://[fc00::1]", "[fc00::1]")},
      {"https://[fdff::1]", host_refusal("https://[fdff::1]", "[fdff::1]")},
      {"https://[0:0:0:0:0:0:0:1]", host_refusal("https://[0:0:0:0:0:0:0:1]", "[0:0:0:0:0:0:0:1]")},
      {"https://local", std::nullopt},
      {"https://localhostx", std::nullopt},
      {"https://172.32.0.1", std::nullopt},
      {"https://100.64.0.1", std::nullopt},
      {"https://11.0.0.1", std::nullopt},
      {"https://010.0.0.1", std::nullopt},
      {"https://127.0.0.01", std::nullopt},
      {"https://127.1", std::nullopt},
      {"https://0.1.2.3", std::nullopt},
      {"https://255.255.255.255", std::nullopt},
      {"https://[fec0::1]", std::nullopt},
      {"https://[::ffff:127.0.0.1]", std::nullopt},
      {"https://[::2]", std::nullopt},
      {"https://[zz]", std::nullopt},
      {"https://wallet.example", std::nullopt},
  };
  for (const auto& c : cases) {
    auto r = enforce_origin_policy(c.origin, false);
    if (!c.refusal) {
      EXPECT_TRUE(r.has_value()) << c.origin << ": " << r.error().text();
      continue;
    }
    ASSERT_FALSE(r.has_value()) << c.origin;
    EXPECT_EQ(r.error(), CoreError::insecure_origin(*c.refusal)) << c.origin;
    EXPECT_TRUE(enforce_origin_policy(c.origin, true).has_value()) << "the flag admits " << c.origin;
  }
}

TEST(OriginPolicy, MalformedOriginRefusedWhateverTheFlag) {
  for (bool allow : {false, true}) {
    auto r = enforce_origin_policy("https://host/path", allow);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().kind(), ErrorKind::Input);
    EXPECT_EQ(r.error().detail(),
              "origin: must be scheme://host[:port], optionally with one trailing slash, and no path");
  }
}

}  // namespace
}  // namespace qsdk::core
