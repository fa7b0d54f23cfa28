#include "wire.hpp"

#include <string>

namespace qsdk::cli {

namespace {
template <class U>
void put_big_endian(std::string& out, U v) {
  for (int shift = 8 * (sizeof(U) - 1); shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xff);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

void put_u8(std::string& out, std::uint8_t v) { out += static_cast<char>(v); }
void put_i32(std::string& out, std::int32_t v) { put_big_endian(out, static_cast<std::uint32_t>(v)); }
void put_u64(std::string& out, std::uint64_t v) { put_big_endian(out, v); }

void put_sized(std::string& out, std::string_view bytes) {
  if (bytes.size() > 0x7fffffff) throw std::length_error("a value of more than 2147483647 bytes cannot be passed");
  put_i32(out, static_cast<std::int32_t>(bytes.size()));
  out += bytes;
}

std::string_view WireReader::take(std::size_t n) {
  if (rest_.size() < n)
    throw WireError("not enough bytes remaining in buffer (" + std::to_string(rest_.size()) + " < " +
                    std::to_string(n) + ")");
  std::string_view chunk = rest_.substr(0, n);
  rest_.remove_prefix(n);
  return chunk;
}

std::uint8_t WireReader::u8() { return static_cast<std::uint8_t>(take(1)[0]); }

std::int32_t WireReader::i32() {
  std::uint32_t v = 0;
  for (char c : take(4)) v = v << 8 | static_cast<std::uint8_t>(c);
  return static_cast<std::int32_t>(v);
}

std::uint64_t WireReader::u64() {
  std::uint64_t v = 0;
  for (char c : take(8)) v = v << 8 | static_cast<std::uint8_t>(c);
  return v;
}

std::string WireReader::sized() {
  const std::int32_t n = i32();
  if (n < 0) throw WireError("out of range integral type conversion attempted");
  return std::string(take(static_cast<std::size_t>(n)));
}

void WireReader::finish() const {
  if (!rest_.empty())
    throw WireError("junk data left in buffer after lifting (count: " + std::to_string(rest_.size()) + ")");
}

std::string hex_encode(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::expected<std::string, std::string> hex_decode(std::string_view text, std::size_t offset) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (hex_digit(text[i]) < 0) {
      const auto byte = static_cast<unsigned char>(text[i]);
      std::string message = "not hex: ";
      if (byte >= 0x20 && byte < 0x7f) {
        message.append(1, '\'').append(1, text[i]).append(1, '\'');
      } else {
        message.append("byte 0x").append(hex_encode(text.substr(i, 1)));
      }
      return std::unexpected(message.append(" at position ").append(std::to_string(offset + i)));
    }
  if (text.size() % 2 != 0)
    return std::unexpected("odd number of hex digits (" + std::to_string(text.size()) + "); a byte takes two");
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2)
    out += static_cast<char>(hex_digit(text[i]) << 4 | hex_digit(text[i + 1]));
  return out;
}

}  // namespace qsdk::cli
