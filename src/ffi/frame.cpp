#include "ffi/frame.hpp"

#include <cstdlib>

#include "base/utf8.hpp"

namespace qsdk::ffi {

SdkError to_sdk_error(const core::CoreError& e) {
  if (e.kind() == core::ErrorKind::InsecureOrigin) return {SdkError::Variant::InsecureOrigin, e.detail()};
  return {SdkError::Variant::Sdk, e.text()};
}

void report_error(RustCallStatus* status, const SdkError& e) noexcept {
  if (status == nullptr) return;
  status->code = 1;
  try {
    status->error_buf = lowered([&](Writer& w) {
      w.i32(static_cast<std::int32_t>(e.variant));
      w.string(e.message);
    });
  } catch (...) {
    status->error_buf = kZeroBuffer;
  }
}

void report_internal(RustCallStatus* status, std::string_view message) noexcept {
  if (status == nullptr) return;
  status->code = 2;
  try {
    status->error_buf = buffer_from(message);
  } catch (...) {
    status->error_buf = kZeroBuffer;
  }
}

namespace detail {

std::string_view lift_string(const RustBuffer& buf) {
  const auto bytes = checked_bytes(buf);
  const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (auto err = core::utf8_error(s)) throw LiftFailure(*err);
  return s;
}

std::vector<std::uint8_t> lift_bytes(const RustBuffer& buf) {
  Reader r(checked_bytes(buf));
  auto v = r.byte_array();
  r.finish();
  return v;
}

std::optional<std::string> lift_opt_string(const RustBuffer& buf) {
  Reader r(checked_bytes(buf));
  auto v = r.optional_string();
  r.finish();
  return v;
}

DeedRecord lift_deed(const RustBuffer& buf) {
  Reader r(checked_bytes(buf));
  auto v = read_deed(r);
  r.finish();
  return v;
}

bool lift_bool(std::int8_t raw) {
  if (raw == 0) return false;
  if (raw == 1) return true;
  throw LiftFailure("unexpected byte for Boolean");
}

}  // namespace detail
}  // namespace qsdk::ffi
