// Percent-encoding for URL components: the encode sets of the URL Standard
// and the byte-level encoder and decoder every component shares.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qsdk::core::url {

// A set of ASCII bytes to percent-encode. Every byte of 0x80 and above is
// always encoded: the sets only ever differ in ASCII, and encoding over UTF-8
// bytes one at a time is then the same as encoding code point by code point.
class EncodeSet {
 public:
  constexpr EncodeSet() = default;

  constexpr EncodeSet with(std::string_view chars) const {
    EncodeSet s = *this;
    for (char c : chars) s.bits_[static_cast<unsigned char>(c)] = true;
    return s;
  }
  constexpr EncodeSet with_range(unsigned char lo, unsigned char hi) const {
    EncodeSet s = *this;
    for (unsigned b = lo; b <= hi; ++b) s.bits_[b] = true;
    return s;
  }
  constexpr bool contains(unsigned char b) const { return b >= 0x80 || bits_[b]; }

 private:
  std::array<bool, 128> bits_{};
};

inline constexpr EncodeSet kC0ControlSet = EncodeSet{}.with_range(0x00, 0x1f).with_range(0x7f, 0x7f);
inline constexpr EncodeSet kFragmentSet = kC0ControlSet.with(" \"<>`");
inline constexpr EncodeSet kQuerySet = kC0ControlSet.with(" \"#<>");
inline constexpr EncodeSet kSpecialQuerySet = kQuerySet.with("'");
inline constexpr EncodeSet kPathSet = kQuerySet.with("?^`{}");
inline constexpr EncodeSet kUserinfoSet = kPathSet.with("/:;=@[\\]|");
inline constexpr EncodeSet kComponentSet = kUserinfoSet.with("$%&+,");
inline constexpr EncodeSet kFormSet = kComponentSet.with("!'()~");

inline constexpr bool is_ascii_hex_digit(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
}
inline constexpr unsigned hex_value(unsigned char b) {
  return b <= '9' ? b - '0' : (b | 0x20) - 'a' + 10;
}

inline void percent_encode_byte(std::string& out, unsigned char b) {
  constexpr char kUpperHex[] = "0123456789ABCDEF";
  out += '%';
  out += kUpperHex[b >> 4];
  out += kUpperHex[b & 0x0f];
}

// Appends `bytes` (UTF-8) to `out`, percent-encoding every byte in `set`.
// With `space_as_plus` a space becomes "+", as the form serializer writes it.
inline void percent_encode(std::string& out, std::string_view bytes, const EncodeSet& set,
                           bool space_as_plus = false) {
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (space_as_plus && b == ' ') out += '+';
    else if (set.contains(b)) percent_encode_byte(out, b);
    else out += ch;
  }
}

// "%" followed by two hex digits becomes that byte; every other byte,
// including a "%" that does not start such a triple, stays as it is.
inline std::string percent_decode(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b == '%' && i + 2 < in.size() && is_ascii_hex_digit(static_cast<unsigned char>(in[i + 1])) &&
        is_ascii_hex_digit(static_cast<unsigned char>(in[i + 2]))) {
      out += static_cast<char>(hex_value(static_cast<unsigned char>(in[i + 1])) << 4 |
                               hex_value(static_cast<unsigned char>(in[i + 2])));
      i += 2;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

}  // namespace qsdk::core::url
