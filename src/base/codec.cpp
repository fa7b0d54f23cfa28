#include "base/codec.hpp"

#include <array>

#include "base/text.hpp"

namespace qsdk::core {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int hex_value(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <class Out>
std::expected<void, std::string> hex_decode_generic(std::string_view text, Out& out) {
  // Length is judged before any character, so an odd text never reports one.
  if (text.size() % 2 != 0) return std::unexpected(std::string("Odd number of digits"));
  out.reserve(out.size() + text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const auto hi_c = static_cast<std::uint8_t>(text[i]);
    const auto lo_c = static_cast<std::uint8_t>(text[i + 1]);
    const int hi = hex_value(hi_c);
    if (hi < 0) return std::unexpected(cat("Invalid character ", quote_char_literal(hi_c), " at position ", i));
    const int lo = hex_value(lo_c);
    if (lo < 0) return std::unexpected(cat("Invalid character ", quote_char_literal(lo_c), " at position ", i + 1));
    out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return {};
}

constexpr char kB64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

constexpr std::array<std::int8_t, 256> make_b64_table() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i) t[static_cast<std::uint8_t>(kB64Alphabet[i])] = static_cast<std::int8_t>(i);
  return t;
}
constexpr auto kB64Table = make_b64_table();

std::string invalid_symbol(std::uint8_t byte, std::size_t offset) {
  return cat("Invalid symbol ", static_cast<unsigned>(byte), ", offset ", offset, ".");
}

// Latin-1 code points that a character literal escapes rather than prints.
bool printable_latin1(std::uint32_t cp) {
  if (cp < 0x20) return false;
  if (cp < 0x7f) return true;
  if (cp <= 0xa0) return false;
  return cp != 0xad;
}

}  // namespace

std::string hex_encode(ByteView bytes) {
  std::string out;
  out.resize(bytes.size() * 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out[2 * i] = kHexDigits[bytes[i] >> 4];
    out[2 * i + 1] = kHexDigits[bytes[i] & 0x0f];
  }
  return out;
}

std::expected<void, std::string> hex_decode_into(std::string_view text, Bytes& out) {
  return hex_decode_generic(text, out);
}
std::expected<void, std::string> hex_decode_into(std::string_view text, SecretBytes& out) {
  return hex_decode_generic(text, out);
}

std::string_view strip_one_0x(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  return text;
}

std::string_view strip_every_0x(std::string_view text) {
  while (text.starts_with("0x")) text.remove_prefix(2);
  return text;
}

std::string base64url_encode(ByteView bytes) {
  std::string out;
  out.reserve((bytes.size() * 4 + 2) / 3);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out += kB64Alphabet[v >> 18 & 63];
    out += kB64Alphabet[v >> 12 & 63];
    out += kB64Alphabet[v >> 6 & 63];
    out += kB64Alphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = bytes[i] << 16;
    out += kB64Alphabet[v >> 18 & 63];
    out += kB64Alphabet[v >> 12 & 63];
  } else if (rest == 2) {
    const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8;
    out += kB64Alphabet[v >> 18 & 63];
    out += kB64Alphabet[v >> 12 & 63];
    out += kB64Alphabet[v >> 6 & 63];
  }
  return out;
}

std::expected<Bytes, std::string> base64url_decode(std::string_view text) {
  const std::size_t n = text.size();
  const std::size_t tail_start = n == 0 ? 0 : (n - 1) / 4 * 4;

  // Whole groups before the final one: every byte must be a symbol.
  for (std::size_t i = 0; i < tail_start; ++i) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (kB64Table[b] < 0) return std::unexpected(invalid_symbol(b, i));
  }

  // The final group: "=" is tolerated by the scan only as its third or fourth
  // symbol, and then refused as padding, which this encoding never carries.
  std::size_t symbols = 0;
  std::size_t pads = 0;
  std::size_t first_pad = 0;
  for (std::size_t i = tail_start; i < n; ++i) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b == '=') {
      if ((i - tail_start) < 2) return std::unexpected(invalid_symbol(b, pads > 0 ? first_pad : i));
      if (pads == 0) first_pad = i;
      ++pads;
      continue;
    }
    if (pads > 0) return std::unexpected(invalid_symbol('=', first_pad));
    if (kB64Table[b] < 0) return std::unexpected(invalid_symbol(b, i));
    ++symbols;
  }
  if (pads > 0) return std::unexpected(std::string("Invalid padding"));
  if (symbols == 1) return std::unexpected(cat("Invalid input length: ", n));

  if (symbols >= 2) {
    const std::size_t last = tail_start + symbols - 1;
    const auto last_byte = static_cast<std::uint8_t>(text[last]);
    const int unused_mask = symbols == 2 ? 0x0f : (symbols == 3 ? 0x03 : 0);
    if (kB64Table[last_byte] & unused_mask)
      return std::unexpected(cat("Invalid last symbol ", static_cast<unsigned>(last_byte), ", offset ", last, "."));
  }

  Bytes out;
  out.reserve(n / 4 * 3 + 2);
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = 0; i < n; ++i) {
    acc = acc << 6 | static_cast<std::uint32_t>(kB64Table[static_cast<std::uint8_t>(text[i])]);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(acc >> bits));
    }
  }
  return out;
}

std::string quote_char_literal(std::uint8_t byte) {
  std::string body;
  switch (byte) {
    case 0: body = "\\0"; break;
    case '\t': body = "\\t"; break;
    case '\r': body = "\\r"; break;
    case '\n': body = "\\n"; break;
    case '\'': body = "\\'"; break;
    case '\\': body = "\\\\"; break;
    default:
      if (!printable_latin1(byte)) {
        body = cat("\\u{", hex_number(byte), "}");
      } else if (byte < 0x80) {
        body = static_cast<char>(byte);
      } else {
        body += static_cast<char>(0xc0 | byte >> 6);
        body += static_cast<char>(0x80 | (byte & 0x3f));
      }
  }
  return "'" + body + "'";
}

Result<Bytes> decode_hex_as(ErrorKind kind, std::string_view text) {
  auto bytes = hex_decode(text);
  if (!bytes) return std::unexpected(CoreError(kind, std::move(bytes.error())));
  return std::move(*bytes);
}

Result<SecretBytes> decode_secret_hex_as(ErrorKind kind, std::string_view text) {
  auto bytes = hex_decode_secret(text);
  if (!bytes) return std::unexpected(CoreError(kind, std::move(bytes.error())));
  return std::move(*bytes);
}

SecretString hex_encode_secret(ByteView bytes) {
  std::string plain = hex_encode(bytes);
  SecretString out(plain.begin(), plain.end());
  OPENSSL_cleanse(plain.data(), plain.size());
  return out;
}

}  // namespace qsdk::core
