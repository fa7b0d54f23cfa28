// The OAuth client exports: PKCE beside the random source and SHA-256, the
// client assertion signature beside bare EIP-191 signing, token verification
// beside one OpenSSL P-256 verification, the thumbprint beside SHA-256, and
// the URL and assertion text, which wrap no primitive, beside the copies of
// their arguments.
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sys/random.h>

#include <memory>
#include <stdexcept>

#include "constants.hpp"
#include "table.hpp"

namespace {

using namespace bench;

const std::string kIssuerUrl = "https://auth.quorvel.example/tenants/42/";
const std::vector<std::string> kAuthorizeArgs = {kIssuerUrl, "app-7f3c2a", "https://app.example.com/oauth/callback",
                                                 "af0ifjsldkj-3c1e9b", "n-0S6_WzA2Mj",
                                                 "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"};

// An issuer's key set (a decoy first) and a token its second key signed, with
// the key's RFC 7638 thumbprint as "kid"; valid at kNow.
const std::string kIssuerKey =
    R"({"kty":"EC","crv":"P-256","x":"YP7UuiVanTHJYet0xjVtaMBJuJI7Yfps5mliLmDyn7Y","y":"eQP-EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk"})";
const std::string kJwks =
    R"({"keys":[{"kty":"EC","crv":"P-256","x":"vXxzuIsum0ztpiAistqL4TGTpbVu3Cbn33hC4kzQtes","y":"BgWtp72oOsaiuA1-MUBA-kf_Frg7rIXO2wFEUbt85xo"},)" +
    kIssuerKey + "]}";
const std::string kToken =
    "eyJhbGciOiJFUzI1NiIsInR5cCI6IkpXVCIsImtpZCI6IjBjZWJmMWJjOTg4MDc0OGE5NTU4ODkwNWI3OTg0M2I0MmJhNzVjYjE3NDA1NWUzZTI0"
    "NmJmODdmZTAwYjRhNmQifQ.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEiLCJleH"
    "AiOjIwMDAwMDAwMDAsImlhdCI6MTcwMDAwMDAwMCwidGlkIjo3LCJub25jZSI6Im4tMSJ9.dQeuPkh28jJQWt3hmu4d6FZhAohP7r7das3_MIzzFDr"
    "Uzo91EG-y0Pxzv6KYId25A4-WxnEkqDeM9m0YFi45Jw";
constexpr std::uint64_t kNow = 1700000100;

Floor pkce_floor() {
  return {"getrandom 32 B + SHA-256", [] {
            unsigned char verifier[32], digest[32];
            if (getrandom(verifier, sizeof verifier, 0) != sizeof verifier) throw std::runtime_error("getrandom");
            SHA256(verifier, sizeof verifier, digest);
            benchmark::DoNotOptimize(digest);
          }};
}

// One ES256 verification of a token-sized signing input under a fresh P-256
// key: the time does not depend on the key or the bytes.
Floor es256_floor() {
  struct Key {
    EVP_PKEY* pkey = EVP_EC_gen("P-256");
    ~Key() { EVP_PKEY_free(pkey); }
  };
  auto key = std::make_shared<Key>();
  const std::string input = kToken.substr(0, kToken.rfind('.'));
  auto sig = std::make_shared<std::vector<unsigned char>>(80);
  std::size_t n = sig->size();
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, key->pkey) != 1 ||
      EVP_DigestSign(ctx, sig->data(), &n, reinterpret_cast<const unsigned char*>(input.data()), input.size()) != 1)
    throw std::runtime_error("benchmark setup: P-256 signing failed");
  EVP_MD_CTX_free(ctx);
  sig->resize(n);
  return {"SHA-256 + P-256 ECDSA verify (OpenSSL)", [key, sig, input] {
            EVP_MD_CTX* c = EVP_MD_CTX_new();
            EVP_DigestVerifyInit(c, nullptr, EVP_sha256(), nullptr, key->pkey);
            benchmark::DoNotOptimize(EVP_DigestVerify(c, sig->data(), sig->size(),
                                                      reinterpret_cast<const unsigned char*>(input.data()),
                                                      input.size()));
            EVP_MD_CTX_free(c);
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
    {"verify_token_at", call(QSDK_FN(verify_token_at), kToken, kJwks, "https://issuer.example", "client-1", kNow),
     es256_floor()},
    {"issuer_key_id", call(QSDK_FN(issuer_key_id), kIssuerKey), sha256_floor(120)},
});

}  // namespace
