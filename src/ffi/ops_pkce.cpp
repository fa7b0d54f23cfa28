// PKCE exports.
#include "ffi/frame.hpp"
#include "oauth/pkce.hpp"

using namespace qsdk;

QSDK_OPERATION(generate_pkce);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_generate_pkce(RustCallStatus* status) {
  return ffi::run<QSDK_OP(generate_pkce)>(status, [] { return core::generate_pkce(); });
}

QSDK_OPERATION(pkce_challenge);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_pkce_challenge(RustBuffer verifier, RustCallStatus* status) {
  return ffi::run<QSDK_OP(pkce_challenge)>(
      status, [](std::string_view v) { return core::pkce_challenge(v); }, verifier);
}
