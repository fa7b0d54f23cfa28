// Cursor: walks a tape for the decoders, takes values off it (converting
// numbers and judging strings then) and records the first failure with its
// position.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "json/tape.hpp"
#include "json/value.hpp"

namespace qsdk::core::json {

class Cursor {
 public:
  enum class Step { Item, Closed, Failed };

  explicit Cursor(const Tape& tape) noexcept : tape_(tape) {}

  const Token& peek() const noexcept { return tape_[pos_]; }
  std::string_view text(const Token& t) const noexcept { return tape_.text(t); }

  // Consumes the first token of the next value; nullptr after recording the
  // failure when the text fails there. A number comes back converted (U64,
  // I64, F64 or NegativeInteger; one beyond the doubles' range fails unless
  // it is a negative integer) in a token that lives until the next call.
  const Token* begin_value();
  // Inside an object: consumes the next member's name (Item), or the closing
  // brace (Closed).
  Step next_member(std::string_view& name);
  // Inside an array: reports whether another element follows (Item, nothing
  // consumed) or consumes the closing bracket (Closed).
  Step next_element();
  // Skips one whole value, which the tape has found well formed.
  bool skip_value();
  // After the root value: the text must end here.
  bool finish();
  // Builds a generic value whose first token `first` was just consumed.
  bool build(const Token& first, Value& out);

  // Failure recorders; each returns false so decoders can `return c.fail...`.
  bool fail_syntax();                        // the tape's own failure
  bool fail_at(std::size_t offset, std::string message);
  bool fail_here(std::string message);       // at the last byte consumed
  bool fail_trailing();                      // at the start of the next token
  bool invalid_type(const Token& found, std::string_view expected);
  bool invalid_value(const Token& found, std::string_view expected);

  bool failed() const noexcept { return !error_.empty(); }
  // The first failure: its message and " at line {l} column {c}".
  const std::string& error() const noexcept { return error_; }

 private:
  std::string describe(const Token& t) const;
  std::size_t start_of_next() const;
  const Token* take_number(const Token& t);
  bool out_of_range();

  const Tape& tape_;
  std::size_t pos_ = 0;
  Token number_;                 // the last number taken, converted
  std::string_view number_text_; // and its spelling
  std::string error_;
};

}  // namespace qsdk::core::json
