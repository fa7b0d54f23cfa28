// Canonical writing: compact, minimal escaping, shortest round-trip doubles.
// Writing cannot fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "json/value.hpp"

namespace qsdk::core::json {

// Collects small pieces in a local block and appends them to the target in
// large ones: the canonical form is written a few bytes at a time.
class Writer {
 public:
  explicit Writer(std::string& out) noexcept : out_(out) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { flush(); }

  void put(char c) {
    if (used_ == kBlock) flush();
    block_[used_++] = c;
  }
  void put(std::string_view s) {
    if (s.size() > kBlock - used_) {
      flush();
      if (s.size() > kBlock) {
        out_.append(s);
        return;
      }
    }
    std::memcpy(block_ + used_, s.data(), s.size());
    used_ += s.size();
  }
  void flush() {
    out_.append(block_, used_);
    used_ = 0;
  }

  // Everything written so far, counted from the start of the target.
  std::size_t size() const noexcept { return out_.size() + used_; }
  // Forgets what was written after the first `size` bytes.
  void truncate(std::size_t size) {
    if (size >= out_.size()) {
      used_ = size - out_.size();
    } else {
      out_.resize(size);
      used_ = 0;
    }
  }
  // Whether exactly `text` was written from offset `from` on.
  bool wrote_since(std::size_t from, std::string_view text) const noexcept {
    if (from > size() || size() - from != text.size()) return false;
    if (from >= out_.size()) return std::string_view(block_ + (from - out_.size()), text.size()) == text;
    const std::size_t head = out_.size() - from;  // the part already flushed
    return std::string_view(out_.data() + from, head) == text.substr(0, head) &&
           std::string_view(block_, used_) == text.substr(head);
  }
  // Copies what was written from offset `from` on into `to`.
  void copy_since(std::size_t from, char* to) const noexcept {
    if (from < out_.size()) {
      std::memcpy(to, out_.data() + from, out_.size() - from);
      to += out_.size() - from;
      from = out_.size();
    }
    std::memcpy(to, block_ + (from - out_.size()), used_ - (from - out_.size()));
  }

 private:
  static constexpr std::size_t kBlock = 1024;
  std::string& out_;
  std::size_t used_ = 0;
  char block_[kBlock];
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
