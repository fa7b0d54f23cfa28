// The byte forms a host puts into and reads out of the library's buffers:
// big-endian integers, length-prefixed texts, and hex for the command line.
#pragma once

#include <cstdint>
#include <expected>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qsdk::cli {

// The library answered in a form this tool does not understand; reported
// like an internal failure, since neither side can be trusted to continue.
class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void put_u8(std::string& out, std::uint8_t v);
void put_i32(std::string& out, std::int32_t v);
void put_u64(std::string& out, std::uint64_t v);
// A nested text or byte array: signed 32-bit big-endian length, then the bytes.
void put_sized(std::string& out, std::string_view bytes);

class WireReader {
 public:
  explicit WireReader(std::string_view bytes) : rest_(bytes) {}
  std::uint8_t u8();
  std::int32_t i32();
  std::uint64_t u64();
  std::string sized();  // length-prefixed text or byte array
  void finish() const;  // every byte must have been read

 private:
  std::string_view take(std::size_t n);
  std::string_view rest_;
};

std::string hex_encode(std::string_view bytes);
// Strict: even length, digits 0-9, a-f, A-F only; otherwise what is wrong,
// positions counted from `offset`.
std::expected<std::string, std::string> hex_decode(std::string_view text, std::size_t offset = 0);

}  // namespace qsdk::cli
