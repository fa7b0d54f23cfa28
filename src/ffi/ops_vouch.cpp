// Origin vouch exports.
#include "ffi/frame.hpp"
#include "vouch/originvouch.hpp"

using namespace qsdk;

QSDK_OPERATION(origin_vouch_binding);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_binding(uint64_t tenant_id, RustBuffer aud,
                                                                              RustBuffer origin, uint64_t epoch,
                                                                              uint64_t exp,
                                                                              int8_t allow_insecure_origin,
                                                                              RustCallStatus* status) {
  return ffi::run<QSDK_OP(origin_vouch_binding)>(
      status,
      [](std::uint64_t t, std::string_view a, std::string_view o, std::uint64_t ep, std::uint64_t ex, bool allow) {
        return core::origin_vouch_binding(t, a, o, ep, ex, allow);
      },
      tenant_id, aud, origin, epoch, exp, allow_insecure_origin);
}

QSDK_OPERATION(origin_vouch_signer);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_signer(uint64_t tenant_id, RustBuffer aud,
                                                                             RustBuffer origin, uint64_t epoch,
                                                                             uint64_t exp, RustBuffer signature_hex,
                                                                             RustCallStatus* status) {
  return ffi::run<QSDK_OP(origin_vouch_signer)>(
      status,
      [](std::uint64_t t, std::string_view a, std::string_view o, std::uint64_t ep, std::uint64_t ex,
         std::string_view sig) { return core::origin_vouch_signer(t, a, o, ep, ex, sig); },
      tenant_id, aud, origin, epoch, exp, signature_hex);
}

// A constant: no frame, and the status is never written.
QSDK_OPERATION(origin_vouch_max_ttl_secs);
QSDK_EXPORT uint64_t uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_max_ttl_secs(RustCallStatus*) {
  return core::origin_vouch_max_ttl_secs();
}

QSDK_OPERATION(is_origin_voucher_calldata);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_is_origin_voucher_calldata(uint64_t tenant_id,
                                                                                    RustBuffer signer_hex,
                                                                                    uint64_t epoch,
                                                                                    RustCallStatus* status) {
  return ffi::run<QSDK_OP(is_origin_voucher_calldata)>(
      status,
      [](std::uint64_t t, std::string_view signer, std::uint64_t ep) {
        return core::is_origin_voucher_calldata(t, signer, ep);
      },
      tenant_id, signer_hex, epoch);
}

QSDK_OPERATION(decode_bool_return);
QSDK_EXPORT int8_t uniffi_quorvel_sdk_uniffi_fn_func_decode_bool_return(RustBuffer ret, RustCallStatus* status) {
  return ffi::run<QSDK_OP(decode_bool_return)>(
      status, [](const std::vector<std::uint8_t>& r) { return core::decode_bool_return(r); }, ret);
}
