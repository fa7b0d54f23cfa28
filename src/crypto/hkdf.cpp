#include "crypto/hkdf.hpp"

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <memory>
#include <stdexcept>

namespace qsdk::core {
namespace {

struct KdfFree {
  void operator()(EVP_KDF* k) const { EVP_KDF_free(k); }
};
struct KdfCtxFree {
  void operator()(EVP_KDF_CTX* c) const { EVP_KDF_CTX_free(c); }  // cleanses the keys it holds
};

OSSL_PARAM octets(const char* name, ByteView bytes) {
  return OSSL_PARAM_construct_octet_string(name, const_cast<std::uint8_t*>(bytes.data()), bytes.size());
}

SecretBytes run_hkdf(int mode, ByteView key, ByteView salt, ByteView info, std::size_t length) {
  std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
  std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
  if (!ctx) throw std::runtime_error("hkdf: not available");

  // The library refuses a null key pointer even when the key is empty.
  static constexpr std::uint8_t kNoBytes[1] = {0};
  if (key.empty()) key = ByteView(kNoBytes, 0);
  char digest[] = "SHA256";
  OSSL_PARAM params[6];
  std::size_t n = 0;
  params[n++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
  params[n++] = OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &mode);
  params[n++] = octets(OSSL_KDF_PARAM_KEY, key);
  if (!salt.empty()) params[n++] = octets(OSSL_KDF_PARAM_SALT, salt);
  if (!info.empty()) params[n++] = octets(OSSL_KDF_PARAM_INFO, info);
  params[n] = OSSL_PARAM_construct_end();

  SecretBytes out(length);
  if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) throw std::runtime_error("hkdf: derivation failed");
  return out;
}

}  // namespace

SecretBytes hkdf_sha256_extract(ByteView salt, ByteView ikm) {
  return run_hkdf(EVP_KDF_HKDF_MODE_EXTRACT_ONLY, ikm, salt, {}, 32);
}

SecretBytes hkdf_sha256_expand(ByteView prk, ByteView info, std::size_t length) {
  return run_hkdf(EVP_KDF_HKDF_MODE_EXPAND_ONLY, prk, {}, info, length);
}

}  // namespace qsdk::core
