// A test issuer: a fixed P-256 key held through OpenSSL that signs compact
// ES256 tokens and publishes its public JWK, the way a real issuer would.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace es256 {

inline void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test issuer: ") + what);
}

// Unpadded base64url of raw bytes.
inline std::string b64url(std::string_view raw) {
  std::string s(4 * ((raw.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(s.data()),
                                reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size()));
  s.resize(static_cast<std::size_t>(n));
  while (!s.empty() && s.back() == '=') s.pop_back();
  for (char& c : s) c = c == '+' ? '-' : c == '/' ? '_' : c;
  return s;
}

inline std::string bytes_of(const BIGNUM* v) {
  std::string out(32, '\0');
  check(BN_bn2binpad(v, reinterpret_cast<unsigned char*>(out.data()), 32) == 32, "BN_bn2binpad");
  return out;
}

class Issuer {
 public:
  // The secret scalar as 64 hex digits.
  explicit Issuer(const char* secret_hex) {
    std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> group(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1),
                                                              EC_GROUP_free);
    BIGNUM* d = nullptr;
    check(group && BN_hex2bn(&d, secret_hex) == 64, "secret");
    std::unique_ptr<BIGNUM, decltype(&BN_clear_free)> secret(d, BN_clear_free);
    std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)> pub(EC_POINT_new(group.get()), EC_POINT_free);
    check(pub && EC_POINT_mul(group.get(), pub.get(), secret.get(), nullptr, nullptr, nullptr) == 1, "EC_POINT_mul");
    check(EC_POINT_point2oct(group.get(), pub.get(), POINT_CONVERSION_UNCOMPRESSED, point_.data(), point_.size(),
                             nullptr) == point_.size(), "point2oct");

    std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> bld(OSSL_PARAM_BLD_new(), OSSL_PARAM_BLD_free);
    check(bld && OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) == 1 &&
              OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, secret.get()) == 1 &&
              OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point_.data(), point_.size()) == 1,
          "params");
    std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(bld.get()), OSSL_PARAM_free);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr),
                                                                    EVP_PKEY_CTX_free);
    EVP_PKEY* key = nullptr;
    check(params && ctx && EVP_PKEY_fromdata_init(ctx.get()) == 1 &&
              EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_KEYPAIR, params.get()) == 1,
          "fromdata");
    key_.reset(key);
  }

  EVP_PKEY* key() const { return key_.get(); }
  // The SEC 1 uncompressed public point 0x04 ‖ x ‖ y.
  const std::array<unsigned char, 65>& point() const { return point_; }
  std::string x() const { return b64url(coordinate(1)); }
  std::string y() const { return b64url(coordinate(33)); }
  // The public JWK; `extra` is spliced in as further members.
  std::string jwk(std::string_view extra = "") const {
    return R"({"kty":"EC","crv":"P-256","x":")" + x() + R"(","y":")" + y() + "\"" + std::string(extra) + "}";
  }

  // r and s of a fresh ES256 signature over the bytes, 32 bytes each.
  std::pair<std::string, std::string> sign_rs(std::string_view signing_input) const {
    unsigned char der[80];
    std::size_t der_len = sizeof der;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    check(md && EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, key_.get()) == 1 &&
              EVP_DigestSign(md.get(), der, &der_len, reinterpret_cast<const unsigned char*>(signing_input.data()),
                             signing_input.size()) == 1,
          "sign");
    const unsigned char* p = der;
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der_len)),
                                                              ECDSA_SIG_free);
    check(sig != nullptr, "d2i_ECDSA_SIG");
    return {bytes_of(ECDSA_SIG_get0_r(sig.get())), bytes_of(ECDSA_SIG_get0_s(sig.get()))};
  }

  // The compact token header.payload.signature over already encoded segments.
  std::string sign_segments(std::string_view header_b64, std::string_view payload_b64) const {
    std::string input = std::string(header_b64) + "." + std::string(payload_b64);
    auto [r, s] = sign_rs(input);
    return input + "." + b64url(r + s);
  }
  std::string token(std::string_view header_json, std::string_view payload_json) const {
    return sign_segments(b64url(header_json), b64url(payload_json));
  }

 private:
  std::string coordinate(std::size_t at) const {
    return std::string(reinterpret_cast<const char*>(point_.data()) + at, 32);
  }

  std::array<unsigned char, 65> point_{};
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{nullptr, EVP_PKEY_free};
};

// n - s: the high-s twin of a signature's s (and back).
inline std::string negate_mod_order(const std::string& s) {
  std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> group(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1),
                                                            EC_GROUP_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> v(
      BN_bin2bn(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()), nullptr), BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> out(BN_new(), BN_free);
  check(group && v && out && BN_sub(out.get(), EC_GROUP_get0_order(group.get()), v.get()) == 1, "negate");
  return bytes_of(out.get());
}

// Three fixed issuer keys for the tests and the benchmark.
inline constexpr const char* kSecret1 = "c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721";
inline constexpr const char* kSecret2 = "0f56db78ca460b055c500064824bed999a25aaf48ebb519ac201537b85479813";
inline constexpr const char* kSecret3 = "e283871239837e13b95f789e6e1af63bf61c918c992e62bca040d64cad1fc2e1";

}  // namespace es256
