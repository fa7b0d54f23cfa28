// RustBuffer ownership and the byte cursors used to lift and lower values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret.hpp"
#include "ffi/export.hpp"

namespace qsdk::ffi {

// An internal failure: reported to the caller as status code 2 with this text.
class InternalFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A lifting failure of one value; the frame adds the argument's name.
class LiftFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// New buffers always come from here so that the release path matches.
RustBuffer buffer_from(std::span<const std::uint8_t> bytes);
inline RustBuffer buffer_from(std::string_view s) {
  return buffer_from({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}
RustBuffer zero_filled_buffer(std::uint64_t size);
constexpr RustBuffer kZeroBuffer{0, 0, nullptr};

// nullopt when the buffer satisfies the invariants, else the failure text.
std::optional<std::string_view> buffer_invariant_error(const RustBuffer& buf) noexcept;

// Wipes and releases a buffer that satisfies the invariants; leaves any other
// alone, since its allocation cannot be trusted.
void release(const RustBuffer& buf) noexcept;

// The bytes of a buffer the caller handed over, after the invariant checks.
std::span<const std::uint8_t> checked_bytes(const RustBuffer& buf);

// Reads nested values; every read checks the remaining length first.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t u8();
  std::uint64_t u64();
  std::int32_t i32_length();  // refuses negative lengths
  std::string string();       // nested: i32 length, then UTF-8
  std::vector<std::uint8_t> byte_array();
  std::optional<std::string> optional_string();
  std::optional<std::uint64_t> optional_u64();
  void finish() const;  // refuses trailing bytes

 private:
  void need(std::size_t n) const;
  bool tag();

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// Writes nested values into a growing byte vector.
class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u64(std::uint64_t v);
  void i32(std::int32_t v);
  void string(std::string_view s);
  void bytes(std::span<const std::uint8_t> b);  // i32 count, then the bytes
  void optional_string(const std::optional<std::string>& s);
  void optional_u64(const std::optional<std::uint64_t>& v);

  std::span<const std::uint8_t> data() const { return out_; }
  RustBuffer finish() const { return buffer_from(data()); }

 private:
  void length(std::size_t n);
  // Records may carry secret keys; the scratch copy is wiped like any secret.
  core::SecretBytes out_;
};

}  // namespace qsdk::ffi
