// Buffer management and interface identity exports.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ffi/frame.hpp"

using qsdk::ffi::InternalFailure;

namespace {

constexpr std::uint64_t kMaxCapacity = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// The barrier of the buffer functions: internal failures become code 2.
template <class F>
auto guarded(RustCallStatus* status, F&& f) noexcept -> decltype(f()) {
  try {
    return f();
  } catch (const std::exception& e) {
    qsdk::ffi::report_internal(status, e.what());
  } catch (...) {
    qsdk::ffi::report_internal(status, "Unknown panic!");
  }
  if constexpr (!std::is_void_v<decltype(f())>) return decltype(f()){};
}

RustBuffer grow(const RustBuffer& buf, std::uint64_t additional) {
  if (additional > std::numeric_limits<std::uint64_t>::max() - buf.len) throw InternalFailure("capacity overflow");
  const std::uint64_t wanted = std::max({buf.len + additional, buf.capacity * 2, std::uint64_t{8}});
  if (wanted > kMaxCapacity) throw InternalFailure("capacity overflow");
  auto* p = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(wanted), 1));
  if (p == nullptr) throw InternalFailure("memory allocation failed");
  if (buf.len > 0) std::memcpy(p, buf.data, static_cast<std::size_t>(buf.len));
  return RustBuffer{wanted, buf.len, p};
}

}  // namespace

QSDK_EXPORT RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_alloc(uint64_t size, RustCallStatus* status) {
  return guarded(status, [&] { return qsdk::ffi::zero_filled_buffer(size); });
}

QSDK_EXPORT RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes(ForeignBytes bytes, RustCallStatus* status) {
  return guarded(status, [&] {
    if (bytes.data == nullptr) {
      if (bytes.len != 0) throw InternalFailure("null ForeignBytes had non-zero length");
      return qsdk::ffi::buffer_from(std::span<const std::uint8_t>{});
    }
    if (bytes.len < 0) throw InternalFailure("bytes length negative or overflowed");
    return qsdk::ffi::buffer_from(std::span<const std::uint8_t>(bytes.data, static_cast<std::size_t>(bytes.len)));
  });
}

QSDK_EXPORT void ffi_quorvel_sdk_uniffi_rustbuffer_free(RustBuffer buf, RustCallStatus* status) {
  guarded(status, [&] {
    qsdk::ffi::checked_bytes(buf);
    // What comes back may be a result carrying a secret (an app key, a root
    // seed) or an argument never passed; nothing tells which, so it is wiped.
    qsdk::ffi::release(buf, qsdk::ffi::Wipe::Yes);
  });
}

QSDK_EXPORT RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_reserve(RustBuffer buf, uint64_t additional,
                                                                 RustCallStatus* status) {
  return guarded(status, [&] {
    qsdk::ffi::checked_bytes(buf);
    if (additional <= buf.capacity - buf.len) return buf;
    try {
      RustBuffer bigger = grow(buf, additional);
      // The host may be writing a secret argument into it.
      qsdk::ffi::release(buf, qsdk::ffi::Wipe::Yes);
      return bigger;
    } catch (...) {
      // The buffer was handed over; a failed growth must not leak it.
      qsdk::ffi::release(buf, qsdk::ffi::Wipe::Yes);
      throw;
    }
  });
}

QSDK_EXPORT uint32_t ffi_quorvel_sdk_uniffi_uniffi_contract_version(void) {
  return qsdk::ffi::iface::kContractVersion;
}
