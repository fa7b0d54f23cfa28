// Authorisation URL export.
#include "ffi/frame.hpp"
#include "oauth/authorize_url.hpp"

using namespace qsdk;

QSDK_OPERATION(build_authorize_url);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_build_authorize_url(RustBuffer issuer, RustBuffer client_id,
                                                                             RustBuffer redirect_uri, RustBuffer state,
                                                                             RustBuffer nonce, RustBuffer code_challenge,
                                                                             RustCallStatus* status) {
  return ffi::run<QSDK_OP(build_authorize_url)>(
      status,
      [](std::string_view iss, std::string_view client, std::string_view redirect, std::string_view st,
         std::string_view n, std::string_view challenge) {
        return core::build_authorize_url(iss, {client, redirect, st, n, challenge});
      },
      issuer, client_id, redirect_uri, state, nonce, code_challenge);
}
