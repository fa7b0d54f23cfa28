// Origin exports.
#include "ffi/frame.hpp"
#include "origin/origin.hpp"

using namespace qsdk;

QSDK_OPERATION(normalize_origin);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin(RustBuffer origin, RustCallStatus* status) {
  return ffi::run<QSDK_OP(normalize_origin)>(
      status, [](std::string_view o) { return core::normalize_origin(o); }, origin);
}
