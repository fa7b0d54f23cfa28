// RustBuffer ownership and the byte cursors used to lift and lower values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// Whether a buffer's bytes are overwritten before its memory is freed: only
// where it may carry a secret key or seed.
enum class Wipe : bool { No, Yes };

// Releases a buffer that satisfies the invariants; leaves any other alone,
// since its allocation cannot be trusted.
void release(const RustBuffer& buf, Wipe wipe) noexcept;

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

// Writes nested values in two passes over the same value: a counting writer
// sizes the buffer (and refuses a length the nested form cannot carry before
// anything is allocated), then a filling writer puts every byte in place
// once. No scratch copy is made, so none needs wiping.
class Writer {
 public:
  Writer() = default;  // counts only
  explicit Writer(std::span<std::uint8_t> out) : out_(out), filling_(true) {}

  void u8(std::uint8_t v) { put(&v, 1); }
  void u64(std::uint64_t v);
  void i32(std::int32_t v);
  void string(std::string_view s);
  void bytes(std::span<const std::uint8_t> b);  // i32 count, then the bytes
  void optional_string(const std::optional<std::string>& s);
  void optional_u64(const std::optional<std::uint64_t>& v);

  std::size_t size() const { return pos_; }

 private:
  void length(std::size_t n);
  void put(const void* bytes, std::size_t n);

  std::span<std::uint8_t> out_;
  bool filling_ = false;
  std::size_t pos_ = 0;
};

// A buffer of uninitialised bytes, for a writer that fills every one.
RustBuffer unfilled_buffer(std::uint64_t size);

// The buffer holding exactly what `fill(Writer&)` writes; `fill` runs twice
// and must write the same both times.
template <class Fill>
RustBuffer lowered(Fill&& fill) {
  Writer counter;
  fill(counter);
  const RustBuffer buf = unfilled_buffer(counter.size());
  try {
    Writer w({buf.data, static_cast<std::size_t>(buf.len)});
    fill(w);
    if (w.size() != buf.len) throw InternalFailure("a nested value wrote fewer bytes than it counted");
  } catch (...) {
    release(buf, Wipe::Yes);
    throw;
  }
  return buf;
}

}  // namespace qsdk::ffi
