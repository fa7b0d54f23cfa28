// Canonical writing: compact, minimal escaping, shortest round-trip doubles.
// Writing cannot fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "json/value.hpp"

namespace qsdk::core::json {

// Copies `n` bytes. Most pieces of canonical text are a few bytes long:
// fixed-size copies that may overlap beat a call to memcpy for them.
inline void copy_short(char* to, const char* from, std::size_t n) noexcept {
  if (n >= 8 && n <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n != 0 && n < 4) {  // bytes 0, n/2 and n-1 cover all of them
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  } else if (n > 16 && n <= 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n > 32) {
    std::memcpy(to, from, n);
  }
}

// Writes straight into the target string, which it keeps a little longer
// than what is written and trims when it goes: the canonical form is written
// a few bytes at a time, and each piece then costs a bounds check and a copy.
// A piece must not be a view into the target itself, which may move.
class Writer {
 public:
  explicit Writer(std::string& out) noexcept : out_(out), data_(out.data()), room_(out.size()), used_(out.size()) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { out_.resize(used_); }

  void put(char c) { *extend(1) = c; }
  [[gnu::always_inline]] void put(std::string_view s) { copy_short(extend(s.size()), s.data(), s.size()); }
  // A string literal whose text needs no escaping, between an optional byte
  // before it and one after it (0 for none), written at once.
  void put_plain_string(std::string_view text, char before = 0, char after = 0) {
    const std::size_t extra = (before != 0 ? 1 : 0) + (after != 0 ? 1 : 0);
    char* at = extend(text.size() + 2 + extra);
    if (before != 0) *at++ = before;
    at[0] = '"';
    copy_short(at + 1, text.data(), text.size());
    at[text.size() + 1] = '"';
    if (after != 0) at[text.size() + 2] = after;
  }
  // `n` more bytes at the end, for the caller to fill at once.
  char* extend(std::size_t n) {
    if (room_ - used_ < n) grow(n);
    char* at = data_ + used_;
    used_ += n;
    return at;
  }

  // Everything written so far, counted from the start of the target.
  std::size_t size() const noexcept { return used_; }
  // Forgets what was written after the first `size` bytes.
  void truncate(std::size_t size) noexcept { used_ = size; }
  // What was written from offset `from` on.
  std::string_view since(std::size_t from) const noexcept { return std::string_view(data_ + from, used_ - from); }
  // The same bytes, to be written over in place (and then truncated).
  char* overwrite(std::size_t from) noexcept { return data_ + from; }

 private:
  // Uses the capacity the target already has, then doubles. Kept out of
  // line so that extend() stays small enough to inline everywhere.
  // The new room is left as it is, to be written over.
  [[gnu::noinline]] void grow(std::size_t n) {
    constexpr std::size_t kFirst = 256;
    out_.resize_and_overwrite(std::max({used_ + n, 2 * room_, kFirst, out_.capacity()}),
                              [](char*, std::size_t size) { return size; });
    data_ = out_.data();
    room_ = out_.size();
  }

  std::string& out_;
  char* data_;
  std::size_t room_;  // the target's current length, of which used_ bytes are written
  std::size_t used_;
};

// A string literal: quote, backslash and control characters escaped, every
// other byte as it is.
void write_string(Writer& w, std::string_view s);
// The same without the quotes around it.
void write_escaped(Writer& w, std::string_view s);
void write_number(Writer& w, std::uint64_t n);
void write_number(Writer& w, std::int64_t n);
// Shortest digits that read back to the same double, laid out in fixed
// notation for 1e-5 <= |d| < 1e16 (always with a fractional digit) and in
// exponent notation otherwise: 1.5, 100.0, 1e16, 1.5e-7, -0.0.
void write_number(Writer& w, double d);
// Whether a number's JSON spelling is already what write_number gives its
// double, so that it can be copied as it stands: a plain decimal fraction in
// the fixed-notation range, without trailing zeros, of at most 15
// significant digits (every such decimal is the shortest that reads back
// to its double).
bool spelled_as_written(std::string_view spelling);
void write(Writer& w, const Value& value);
void write(Writer& w, const Object& object);

// Fixed notation with at least one fractional digit: the form numbers take
// in messages ("floating point `0.00000015`").
std::string fixed_notation(double d);

}  // namespace qsdk::core::json
