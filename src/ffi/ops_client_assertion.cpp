// Client assertion exports.
#include "ffi/frame.hpp"
#include "oauth/client_assertion.hpp"

using namespace qsdk;

QSDK_OPERATION(build_client_assertion);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_build_client_assertion(RustBuffer domain, uint64_t tenant_id,
                                                                                RustBuffer nonce, uint64_t issued_at,
                                                                                RustCallStatus* status) {
  return ffi::run<QSDK_OP(build_client_assertion)>(
      status,
      [](std::string_view d, std::uint64_t t, std::string_view n, std::uint64_t at) {
        return core::build_client_assertion(d, t, n, at);
      },
      domain, tenant_id, nonce, issued_at);
}

QSDK_OPERATION(sign_client_assertion);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_sign_client_assertion(RustBuffer secret_key_hex,
                                                                               RustBuffer domain, uint64_t tenant_id,
                                                                               RustBuffer nonce, uint64_t issued_at,
                                                                               RustCallStatus* status) {
  return ffi::run<QSDK_OP(sign_client_assertion)>(
      status,
      [](std::string_view key, std::string_view d, std::uint64_t t, std::string_view n, std::uint64_t at) {
        return core::sign_client_assertion(key, d, t, n, at);
      },
      secret_key_hex, domain, tenant_id, nonce, issued_at);
}
