// Strict hex and base64url codecs. Their messages are part of the contract:
// callers pass them through behind their own class prefix.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/secret.hpp"

namespace qsdk::core {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline ByteView as_bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string hex_encode(ByteView bytes);

// Appends the decoded bytes to `out`; on failure `out` holds a partial result
// the caller must discard. The error is the decoder's message.
std::expected<void, std::string> hex_decode_into(std::string_view text, Bytes& out);
std::expected<void, std::string> hex_decode_into(std::string_view text, SecretBytes& out);

inline std::expected<Bytes, std::string> hex_decode(std::string_view text) {
  Bytes out;
  if (auto r = hex_decode_into(text, out); !r) return std::unexpected(r.error());
  return out;
}
inline std::expected<SecretBytes, std::string> hex_decode_secret(std::string_view text) {
  SecretBytes out;
  if (auto r = hex_decode_into(text, out); !r) return std::unexpected(r.error());
  return out;
}

// Prefix rules: each argument that accepts "0x" names which one applies.
std::string_view strip_one_0x(std::string_view text);      // one "0x" or "0X"
std::string_view strip_every_0x(std::string_view text);    // every leading lower-case "0x"

std::string base64url_encode(ByteView bytes);
std::expected<Bytes, std::string> base64url_decode(std::string_view text);

// A byte shown the way the hex decoder quotes it: as a character literal,
// with bytes of 128 and above read as Latin-1.
std::string quote_char_literal(std::uint8_t byte);

// Hex texts of keys and signatures: a decoder failure becomes an error of the
// class the calling rule names, carrying the decoder's message.
Result<Bytes> decode_hex_as(ErrorKind kind, std::string_view text);
Result<SecretBytes> decode_secret_hex_as(ErrorKind kind, std::string_view text);
// Lower-case hex of secret bytes, in storage that is wiped when released.
SecretString hex_encode_secret(ByteView bytes);

}  // namespace qsdk::core
