// verify_token_at through the C interface (a typical token, a three-key set,
// the key picked by thumbprint) beside OpenSSL verifying the same signature:
// once on a key object built beforehand (the bare primitive), and once
// importing the key from its point first, as a host on its own would.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>

#include <ctime>

#include "es256_issuer.hpp"
#include "ffi/host.hpp"

namespace {

using VerifyFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustCallStatus*);
using KeyIdFn = RustBuffer(RustBuffer, RustCallStatus*);

struct Scenario {
  es256::Issuer keys[3] = {es256::Issuer(es256::kSecret1), es256::Issuer(es256::kSecret2),
                           es256::Issuer(es256::kSecret3)};
  const es256::Issuer& signer = keys[2];
  std::string jwks, jwt, signing_input;
  std::vector<unsigned char> der;

  Scenario() {
    jwks = R"({"keys":[)";
    for (const auto& k : keys) jwks += (&k == keys ? "" : ",") + k.jwk(R"(,"use":"sig","alg":"ES256")");
    jwks += "]}";
    host::Status st;
    const std::string kid = host::take_text(host::lib().op<KeyIdFn>("issuer_key_id")(host::text(signer.jwk()), &st));
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

// The export as a binding calls it: symbols resolved once, four argument
// buffers made per call, the result released.
class TokenCall {
 public:
  TokenCall()
      : verify_(host::lib().op<VerifyFn>("verify_token_at")),
        from_bytes_(host::lib().fn<RustBuffer(ForeignBytes, RustCallStatus*)>(
            "ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes")),
        free_(host::lib().fn<void(RustBuffer, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_free")) {}

  bool operator()(const Scenario& s) const {
    RustCallStatus st{};
    RustBuffer out = verify_(text(s.jwt), text(s.jwks), text("https://auth.quorvel.example"), text("demo-client"),
                             1767225700, &st);
    const bool ok = st.code == 0;
    free_(ok ? out : st.error_buf, &st);
    return ok;
  }

 private:
  RustBuffer text(std::string_view t) const {
    RustCallStatus st{};
    return from_bytes_(ForeignBytes{static_cast<std::int32_t>(t.size()), reinterpret_cast<const std::uint8_t*>(t.data())},
                       &st);
  }
  VerifyFn* verify_;
  RustBuffer (*from_bytes_)(ForeignBytes, RustCallStatus*);
  void (*free_)(RustBuffer, RustCallStatus*);
};

bool import_and_verify(const Scenario& s) {
  EVP_PKEY* key = import_point(s.signer.point());
  const bool ok = key != nullptr && openssl_verify(key, s);
  EVP_PKEY_free(key);
  return ok;
}

void BM_verify_token_at(benchmark::State& state) {
  const Scenario& s = scenario();
  const TokenCall call;
  for (auto _ : state)
    if (!call(s)) state.SkipWithError("verify_token_at refused the token");
}
BENCHMARK(BM_verify_token_at);

void BM_openssl_p256_verify_bare(benchmark::State& state) {
  const Scenario& s = scenario();
  for (auto _ : state)
    if (!openssl_verify(s.signer.key(), s)) state.SkipWithError("OpenSSL refused the signature");
}
BENCHMARK(BM_openssl_p256_verify_bare);

void BM_openssl_p256_import_and_verify(benchmark::State& state) {
  const Scenario& s = scenario();
  for (auto _ : state)
    if (!import_and_verify(s)) state.SkipWithError("OpenSSL refused the signature");
}
BENCHMARK(BM_openssl_p256_import_and_verify);

double thread_cpu_ns() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// The three alternate within one loop, each timed on this thread's CPU
// clock, so load from other processes weighs on all of them alike; the
// counters are verify_token_at's time over each OpenSSL variant's.
void BM_ratio_verify_token_at_to_openssl(benchmark::State& state) {
  const Scenario& s = scenario();
  const TokenCall call;
  double token = 0, bare = 0, imported = 0;
  for (auto _ : state) {
    double t0 = thread_cpu_ns();
    const bool ok = call(s);
    double t1 = thread_cpu_ns();
    const bool ok_bare = openssl_verify(s.signer.key(), s);
    double t2 = thread_cpu_ns();
    const bool ok_imported = import_and_verify(s);
    double t3 = thread_cpu_ns();
    if (!ok || !ok_bare || !ok_imported) state.SkipWithError("a verification refused the token");
    token += t1 - t0;
    bare += t2 - t1;
    imported += t3 - t2;
  }
  state.counters["over_bare"] = token / bare;
  state.counters["over_import_and_verify"] = token / imported;
}
BENCHMARK(BM_ratio_verify_token_at_to_openssl);

}  // namespace
