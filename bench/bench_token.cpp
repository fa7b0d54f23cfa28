// verify_token_at through the C interface (a typical token, a three-key set,
// the key picked by thumbprint) beside OpenSSL importing the signer's point
// and verifying the same signature, the least any verifier does; and
// issuer_key_id beside SHA-256 of the key's canonical members.
#include <openssl/core_names.h>

#include "es256_issuer.hpp"
#include "table.hpp"

namespace {

using namespace bench;

struct Scenario {
  es256::Issuer keys[3] = {es256::Issuer(es256::kSecret1), es256::Issuer(es256::kSecret2),
                           es256::Issuer(es256::kSecret3)};
  const es256::Issuer& signer = keys[2];
  std::string jwks, jwt, signing_input;
  std::vector<unsigned char> der;

  Scenario() {
    jwks = R"({"keys":[)";
    for (const auto& k : keys) {
      if (&k != keys) jwks += ',';
      jwks += k.jwk(R"(,"use":"sig","alg":"ES256")");
    }
    jwks += "]}";
    host::Status st;
    const std::string kid = host::take_text(QSDK_FN(issuer_key_id)(host::text(signer.jwk()), &st));
    jwt = signer.token(R"({"alg":"ES256","typ":"JWT","kid":")" + kid + R"("})",
                       R"({"iss":"https://auth.quorvel.example","sub":"user-7f3a","aud":"demo-client",)"
                       R"("exp":1767226200,"iat":1767225600,"tid":42,"nonce":"n-0S6_WzA2Mj"})");
    signing_input = jwt.substr(0, jwt.rfind('.'));
    der = der_signature(jwt.substr(jwt.rfind('.') + 1));
  }

  // The token's r ‖ s as the DER form OpenSSL's EVP interface takes.
  static std::vector<unsigned char> der_signature(const std::string& b64) {
    std::string std64 = b64;
    for (char& c : std64) c = c == '-' ? '+' : c == '_' ? '/' : c;
    while (std64.size() % 4 != 0) std64 += '=';
    unsigned char raw[66];
    es256::check(EVP_DecodeBlock(raw, reinterpret_cast<const unsigned char*>(std64.data()),
                                 static_cast<int>(std64.size())) == 66, "decode");
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(raw, 32, nullptr), BN_bin2bn(raw + 32, 32, nullptr));
    unsigned char* out = nullptr;
    const int n = i2d_ECDSA_SIG(sig, &out);
    std::vector<unsigned char> der(out, out + n);
    OPENSSL_free(out);
    ECDSA_SIG_free(sig);
    return der;
  }
};

const Scenario& scenario() {
  static const Scenario s;
  return s;
}

bool openssl_verify(EVP_PKEY* key, const Scenario& s) {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  const bool ok = EVP_DigestVerifyInit(md, nullptr, EVP_sha256(), nullptr, key) == 1 &&
                  EVP_DigestVerify(md, s.der.data(), s.der.size(),
                                   reinterpret_cast<const unsigned char*>(s.signing_input.data()),
                                   s.signing_input.size()) == 1;
  EVP_MD_CTX_free(md);
  return ok;
}

EVP_PKEY* import_point(const std::array<unsigned char, 65>& point) {
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, const_cast<char*>("prime256v1"), 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, const_cast<unsigned char*>(point.data()),
                                        point.size()),
      OSSL_PARAM_construct_end()};
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_fromdata_init(ctx) != 1 || EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_PUBLIC_KEY, params) != 1) key = nullptr;
  EVP_PKEY_CTX_free(ctx);
  return key;
}

bool import_and_verify(const Scenario& s) {
  EVP_PKEY* key = import_point(s.signer.point());
  const bool ok = key != nullptr && openssl_verify(key, s);
  EVP_PKEY_free(key);
  return ok;
}

// RFC 7638's members of a P-256 key: {"crv":"P-256","kty":"EC","x":"<43>","y":"<43>"}.
constexpr std::size_t kThumbprintInputBytes = 126;

const bool registered = add({
    {"verify_token_at",
     call(QSDK_FN(verify_token_at), scenario().jwt, scenario().jwks, "https://auth.quorvel.example", "demo-client",
          std::uint64_t{1767225700}),
     Floor{"OpenSSL P-256 point import + ECDSA verify", [] {
             if (!import_and_verify(scenario())) throw std::runtime_error("OpenSSL refused the signature");
           }}},
    {"issuer_key_id", call(QSDK_FN(issuer_key_id), scenario().signer.jwk()), sha256_floor(kThumbprintInputBytes)},
});

}  // namespace
