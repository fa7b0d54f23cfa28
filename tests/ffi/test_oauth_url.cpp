// build_authorize_url through the C interface, as a host binding calls it.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ffi/host.hpp"

namespace {

using AuthorizeFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer,
                               RustCallStatus*);

host::TextOutcome authorize(const std::array<RustBuffer, 6>& a) {
  auto* fn = host::lib().op<AuthorizeFn>("build_authorize_url");
  return host::text_outcome([&](RustCallStatus* st) { return fn(a[0], a[1], a[2], a[3], a[4], a[5], st); });
}

host::TextOutcome authorize(const std::array<std::string, 6>& args) {
  std::array<RustBuffer, 6> buffers;
  for (std::size_t i = 0; i < args.size(); ++i) buffers[i] = host::text(args[i]);
  return authorize(buffers);
}

TEST(BuildAuthorizeUrlExport, ReturnsTheBareUrlText) {
  const auto o = authorize({"https://Issuer.Example:443/tenants/7/?x=1#f", "client 1", "https://app.example/cb",
                            "", "n\xc3\xa9", "ch"});
  ASSERT_EQ(o.code, 0) << o.message;
  EXPECT_EQ(o.value,
            "https://issuer.example/authorize?x=1&response_type=code&client_id=client+1"
            "&redirect_uri=https%3A%2F%2Fapp.example%2Fcb&state=&nonce=n%C3%A9&code_challenge=ch"
            "&code_challenge_method=S256#f");
}

struct RefusalCase {
  std::string issuer;
  std::string message;
};

TEST(BuildAuthorizeUrlExport, RefusesAnUnparsableIssuerAsSdkError) {
  const std::vector<RefusalCase> cases = {
      {"issuer.example", "input: relative URL without a base"},
      {"https://", "input: empty host"},
      {"https://issuer.example:70000", "input: invalid port number"},
      {"https://1.2.3.4.5", "input: invalid IPv4 address"},
      {"https://[1::2::3]", "input: invalid IPv6 address"},
      {"https://a^b", "input: invalid domain character"},
      {"https://\xe2\x80\x8c.example", "input: invalid international domain name"},
  };
  for (const auto& c : cases) {
    const auto o = authorize({c.issuer, "c", "r", "s", "n", "ch"});
    EXPECT_EQ(o.code, 1) << c.issuer;
    EXPECT_EQ(o.variant, host::kSdk) << c.issuer;
    EXPECT_EQ(o.message, c.message) << c.issuer;
  }
}

TEST(BuildAuthorizeUrlExport, ArgumentsThatCannotBeLiftedAreInternalFailures) {
  // Invalid UTF-8 in a parameter is refused at the boundary, naming it.
  auto o = authorize({"https://issuer.example", "c", "r", "s", "\xff", "ch"});
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.message, "Failed to convert arg 'nonce':\ninvalid utf-8 sequence of 1 bytes from index 0");

  // A buffer that breaks the buffer invariants; the other five are still consumed.
  std::array<RustBuffer, 6> buffers;
  for (auto& b : buffers) b = host::text("https://issuer.example");
  RustBuffer bad = buffers[3];
  bad.len = bad.capacity + 1;
  buffers[3] = bad;
  o = authorize(buffers);
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.message, "RustBuffer length exceeds capacity");
  // The library leaves the broken buffer alone; its owner repairs and frees it.
  bad.len = bad.capacity;
  host::free_buffer(bad);
}

TEST(BuildAuthorizeUrlExport, ChecksumIdentifiesTheSignature) {
  auto* checksum = host::lib().fn<std::uint16_t()>("uniffi_quorvel_sdk_uniffi_checksum_func_build_authorize_url");
  EXPECT_EQ(checksum(), 32881);
}

}  // namespace
