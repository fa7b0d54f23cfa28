// The OAuth client exports but token verification (bench_token.cpp): PKCE
// beside the random source and SHA-256, the client assertion signature beside
// bare EIP-191 signing, and the URL and assertion text, which wrap no
// primitive, beside the copies of their arguments.
#include <openssl/sha.h>
#include <sys/random.h>

#include <stdexcept>

#include "constants.hpp"
#include "table.hpp"

namespace {

using namespace bench;

const std::string kIssuerUrl = "https://auth.quorvel.example/tenants/42/";
const std::vector<std::string> kAuthorizeArgs = {kIssuerUrl, "app-7f3c2a", "https://app.example.com/oauth/callback",
                                                 "af0ifjsldkj-3c1e9b", "n-0S6_WzA2Mj",
                                                 "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"};

Floor pkce_floor() {
  return {"getrandom 32 B + SHA-256", [] {
            unsigned char verifier[32], digest[32];
            if (getrandom(verifier, sizeof verifier, 0) != sizeof verifier) throw std::runtime_error("getrandom");
            SHA256(verifier, sizeof verifier, digest);
            benchmark::DoNotOptimize(digest);
          }};
}

std::size_t assertion_bytes() {
  host::Status st;
  return host::take_text(QSDK_FN(build_client_assertion)(host::text("app.example"), 7, host::text("n-1"), 1700000000, &st))
      .size();
}

const bool registered = add({
    {"generate_pkce", call(QSDK_FN(generate_pkce)), pkce_floor()},
    {"pkce_challenge", call(QSDK_FN(pkce_challenge), "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"), sha256_floor(43)},
    {"build_authorize_url",
     call(QSDK_FN(build_authorize_url), kAuthorizeArgs[0], kAuthorizeArgs[1], kAuthorizeArgs[2], kAuthorizeArgs[3],
          kAuthorizeArgs[4], kAuthorizeArgs[5]),
     buffer_floor(kAuthorizeArgs)},
    {"build_authorize_url [IDN issuer]",
     call(QSDK_FN(build_authorize_url), "https://b\xc3\xbc" "cher.example/", kAuthorizeArgs[1], kAuthorizeArgs[2],
          kAuthorizeArgs[3], kAuthorizeArgs[4], kAuthorizeArgs[5]),
     buffer_floor(kAuthorizeArgs)},
    {"build_client_assertion", call(QSDK_FN(build_client_assertion), "app.example", std::uint64_t{7}, "n-1",
                                    std::uint64_t{1700000000}),
     buffer_floor({"app.example", "n-1"})},
    {"sign_client_assertion", call(QSDK_FN(sign_client_assertion), kKeyHex, "app.example", std::uint64_t{7}, "n-1",
                                   std::uint64_t{1700000000}),
     eip191_sign_floor(assertion_bytes())},
});

}  // namespace
