// Token verification and issuer key id exports.
#include "ffi/frame.hpp"
#include "oauth/thumbprint.hpp"
#include "oauth/token.hpp"

using namespace qsdk;

QSDK_OPERATION(verify_token_at);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_verify_token_at(RustBuffer jwt, RustBuffer jwks_json,
                                                                         RustBuffer expected_iss,
                                                                         RustBuffer expected_aud, uint64_t now_unix,
                                                                         RustCallStatus* status) {
  return ffi::run<QSDK_OP(verify_token_at)>(
      status,
      [](std::string_view token, std::string_view jwks, std::string_view iss, std::string_view aud,
         std::uint64_t now) { return core::verify_token_at(token, jwks, iss, aud, now); },
      jwt, jwks_json, expected_iss, expected_aud, now_unix);
}

QSDK_OPERATION(issuer_key_id);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_issuer_key_id(RustBuffer jwk_json, RustCallStatus* status) {
  return ffi::run<QSDK_OP(issuer_key_id)>(
      status, [](std::string_view jwk) { return core::issuer_key_id(jwk); }, jwk_json);
}
