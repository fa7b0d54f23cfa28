// UTF-8 validation with the decoder's own error texts, and a code point cursor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qsdk::core {

// nullopt when `bytes` is valid UTF-8; otherwise the decoder's message, for
// example "invalid utf-8 sequence of 1 bytes from index 3" or
// "incomplete utf-8 byte sequence from index 5".
std::optional<std::string> utf8_error(std::string_view bytes);

// The length of the well-formed UTF-8 sequence (RFC 3629 section 4) that
// starts at `at` (< bytes.size()), or 0 when the bytes there are ill-formed
// or cut short by the end of the text.
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t at);

// Appends the UTF-8 encoding of a scalar value.
void append_utf8(std::string& out, char32_t cp);

// Walks code points of text already known to be valid UTF-8. An ill-formed
// sequence yields U+FFFD for its first byte, so misuse cannot over-read.
class Utf8Cursor {
 public:
  explicit Utf8Cursor(std::string_view s) : s_(s) {}
  bool done() const { return pos_ >= s_.size(); }
  std::size_t offset() const { return pos_; }
  char32_t next();

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace qsdk::core
