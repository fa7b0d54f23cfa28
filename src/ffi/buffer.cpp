#include "ffi/buffer.hpp"

#include <openssl/crypto.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace qsdk::ffi {
namespace {

// Empty buffers the library produces carry a non-null pointer that is never
// dereferenced or freed (capacity 0), so hosts can tell them from "no buffer".
std::uint8_t g_empty_sentinel;

enum class Zeroed : bool { No, Yes };

std::uint8_t* allocate(std::uint64_t size, Zeroed zeroed) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) throw InternalFailure("capacity overflow");
  const auto n = static_cast<std::size_t>(size);
  auto* p = static_cast<std::uint8_t*>(zeroed == Zeroed::Yes ? std::calloc(n, 1) : std::malloc(n));
  if (p == nullptr) throw InternalFailure("memory allocation failed");
  return p;
}

}  // namespace

RustBuffer buffer_from(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return RustBuffer{0, 0, &g_empty_sentinel};
  std::uint8_t* p = allocate(bytes.size(), Zeroed::No);
  std::memcpy(p, bytes.data(), bytes.size());
  return RustBuffer{bytes.size(), bytes.size(), p};
}

RustBuffer zero_filled_buffer(std::uint64_t size) {
  if (size == 0) return RustBuffer{0, 0, &g_empty_sentinel};
  return RustBuffer{size, size, allocate(size, Zeroed::Yes)};
}

RustBuffer unfilled_buffer(std::uint64_t size) {
  if (size == 0) return RustBuffer{0, 0, &g_empty_sentinel};
  return RustBuffer{size, size, allocate(size, Zeroed::No)};
}

std::optional<std::string_view> buffer_invariant_error(const RustBuffer& buf) noexcept {
  if (buf.data == nullptr) {
    if (buf.capacity != 0) return "null RustBuffer had non-zero capacity";
    if (buf.len != 0) return "null RustBuffer had non-zero length";
    return std::nullopt;
  }
  if (buf.len > buf.capacity) return "RustBuffer length exceeds capacity";
  return std::nullopt;
}

void release(const RustBuffer& buf, Wipe wipe) noexcept {
  if (buffer_invariant_error(buf) || buf.data == nullptr || buf.capacity == 0) return;
  if (wipe == Wipe::Yes) OPENSSL_cleanse(buf.data, static_cast<std::size_t>(buf.len));
  std::free(buf.data);
}

std::span<const std::uint8_t> checked_bytes(const RustBuffer& buf) {
  if (auto err = buffer_invariant_error(buf)) throw InternalFailure(std::string(*err));
  if (buf.data == nullptr) return {};
  return {buf.data, static_cast<std::size_t>(buf.len)};
}

void Reader::need(std::size_t n) const {
  const std::size_t remaining = bytes_.size() - pos_;
  if (remaining < n) throw LiftFailure(core::cat("not enough bytes remaining in buffer (", remaining, " < ", n, ")"));
}

std::uint8_t Reader::u8() {
  need(1);
  return bytes_[pos_++];
}

std::uint64_t Reader::u64() {
  need(8);
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | bytes_[pos_++];
  return v;
}

std::int32_t Reader::i32_length() {
  need(4);
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | bytes_[pos_++];
  const auto n = static_cast<std::int32_t>(v);
  if (n < 0) throw LiftFailure("out of range integral type conversion attempted");
  return n;
}

std::string Reader::string() {
  const auto n = static_cast<std::size_t>(i32_length());
  need(n);
  std::string s(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
  pos_ += n;
  if (auto err = core::utf8_error(s)) throw LiftFailure(*err);
  return s;
}

std::vector<std::uint8_t> Reader::byte_array() {
  const auto n = static_cast<std::size_t>(i32_length());
  // Read element by element so a short buffer fails at the missing element.
  std::vector<std::uint8_t> out;
  out.reserve(std::min(n, bytes_.size() - pos_));
  for (std::size_t i = 0; i < n; ++i) out.push_back(u8());
  return out;
}

bool Reader::tag() {
  const std::uint8_t t = u8();
  if (t > 1) throw LiftFailure("unexpected tag byte for Option");
  return t == 1;
}

std::optional<std::string> Reader::optional_string() {
  if (!tag()) return std::nullopt;
  return string();
}

std::optional<std::uint64_t> Reader::optional_u64() {
  if (!tag()) return std::nullopt;
  return u64();
}

void Reader::finish() const {
  if (pos_ != bytes_.size())
    throw LiftFailure(core::cat("junk data left in buffer after lifting (count: ", bytes_.size() - pos_, ")"));
}

void Writer::put(const void* bytes, std::size_t n) {
  if (filling_) {
    if (n > out_.size() - pos_) throw InternalFailure("a nested value wrote more bytes than it counted");
    if (n > 0) std::memcpy(out_.data() + pos_, bytes, n);
  }
  pos_ += n;
}

void Writer::u64(std::uint64_t v) {
  std::uint8_t be[8];
  for (int i = 0; i < 8; ++i) be[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
  put(be, sizeof be);
}

void Writer::i32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  std::uint8_t be[4];
  for (int i = 0; i < 4; ++i) be[i] = static_cast<std::uint8_t>(u >> (24 - 8 * i));
  put(be, sizeof be);
}

void Writer::length(std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw InternalFailure("length of a nested value exceeds 2147483647 bytes");
  i32(static_cast<std::int32_t>(n));
}

void Writer::string(std::string_view s) {
  length(s.size());
  put(s.data(), s.size());
}

void Writer::bytes(std::span<const std::uint8_t> b) {
  length(b.size());
  put(b.data(), b.size());
}

void Writer::optional_string(const std::optional<std::string>& s) {
  u8(s ? 1 : 0);
  if (s) string(*s);
}

void Writer::optional_u64(const std::optional<std::uint64_t>& v) {
  u8(v ? 1 : 0);
  if (v) u64(*v);
}

}  // namespace qsdk::ffi
