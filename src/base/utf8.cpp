#include "base/utf8.hpp"

#include <cstring>

#include "base/text.hpp"

namespace qsdk::core {
namespace {

// Length of the longest valid prefix of a sequence starting at `i`, and
// whether the sequence was merely cut short by the end of the input.
struct SeqCheck {
  std::size_t valid_len;  // 0 when the sequence is invalid
  std::size_t error_len;  // bytes to report when invalid (0 = incomplete at end)
};

SeqCheck check_sequence(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t b0 = at(i);
  if (b0 < 0x80) return {1, 0};
  std::size_t width;
  std::uint8_t lo = 0x80, hi = 0xbf;  // bounds on the second byte
  if (b0 >= 0xc2 && b0 <= 0xdf) {
    width = 2;
  } else if (b0 >= 0xe0 && b0 <= 0xef) {
    width = 3;
    if (b0 == 0xe0) lo = 0xa0;
    if (b0 == 0xed) hi = 0x9f;
  } else if (b0 >= 0xf0 && b0 <= 0xf4) {
    width = 4;
    if (b0 == 0xf0) lo = 0x90;
    if (b0 == 0xf4) hi = 0x8f;
  } else {
    return {0, 1};
  }
  for (std::size_t k = 1; k < width; ++k) {
    if (i + k >= s.size()) return {0, 0};
    const std::uint8_t b = at(i + k);
    const bool ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xbf);
    if (!ok) return {0, k};
  }
  return {width, 0};
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view bytes, std::size_t at) {
  return check_sequence(bytes, at).valid_len;
}

std::optional<std::string> utf8_error(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    // Texts are mostly ASCII: 32 bytes, then eight, at a time while no high
    // bit is set.
    constexpr std::uint64_t kHigh = 0x8080'8080'8080'8080ULL;
    for (std::uint64_t w[4]; bytes.size() - i >= sizeof w; i += sizeof w) {
      std::memcpy(w, bytes.data() + i, sizeof w);
      if (((w[0] | w[1] | w[2] | w[3]) & kHigh) != 0) break;
    }
    for (std::uint64_t word; bytes.size() - i >= 8; i += 8) {
      std::memcpy(&word, bytes.data() + i, 8);
      if ((word & kHigh) != 0) break;
    }
    if (i == bytes.size()) break;
    const SeqCheck c = check_sequence(bytes, i);
    if (c.valid_len > 0) {
      i += c.valid_len;
      continue;
    }
    if (c.error_len == 0) return cat("incomplete utf-8 byte sequence from index ", i);
    return cat("invalid utf-8 sequence of ", c.error_len, " bytes from index ", i);
  }
  return std::nullopt;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xe0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3f));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

char32_t Utf8Cursor::next() {
  const SeqCheck c = check_sequence(s_, pos_);
  if (c.valid_len == 0) {
    ++pos_;
    return 0xfffd;
  }
  const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(s_[pos_ + k]); };
  char32_t cp;
  switch (c.valid_len) {
    case 1: cp = at(0); break;
    case 2: cp = (at(0) & 0x1fu) << 6 | (at(1) & 0x3fu); break;
    case 3: cp = (at(0) & 0x0fu) << 12 | (at(1) & 0x3fu) << 6 | (at(2) & 0x3fu); break;
    default: cp = (at(0) & 0x07u) << 18 | (at(1) & 0x3fu) << 12 | (at(2) & 0x3fu) << 6 | (at(3) & 0x3fu); break;
  }
  pos_ += c.valid_len;
  return cp;
}

}  // namespace qsdk::core
