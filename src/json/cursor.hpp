// Cursor: walks a text's tokens for the decoders, takes values off it
// (converting numbers and judging strings then) and records the first failure
// with its position.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "json/number.hpp"
#include "json/tokeniser.hpp"
#include "json/value.hpp"

namespace qsdk::core::json {

class Cursor {
 public:
  enum class Step { Item, Closed, Failed };

  explicit Cursor(std::string_view text) : tokens_(text) {}

  // The next token, not consumed.
  const Token& peek() {
    if (!ahead_) {
      ahead_token_ = tokens_.next();
      ahead_ = true;
    }
    return ahead_token_;
  }
  // A String's or Key's text; valid until the cursor reads the next token,
  // unless it is a view into the source text, which lasts as long as that.
  std::string_view text(const Token& t) const noexcept { return tokens_.text(t); }
  // The token taken last, and the spelling of the number taken last.
  const Token& taken() const noexcept { return taken_; }
  std::string_view number_spelling() const noexcept { return number_text_; }

  // Consumes the first token of the next value; nullptr after recording the
  // failure when the text fails there. A number comes back converted (U64,
  // I64, F64 or NegativeInteger; one beyond the doubles' range fails unless
  // it is a negative integer) in a token that lives until the next call.
  const Token* begin_value() { return begin_value(true); }
  // Likewise, but a number comes back as the tokeniser left it, for a
  // caller that may not need its value: a U64 without its value, any other
  // as Tok::Number; number_spelling() has its spelling either way.
  const Token* begin_value_as_written() { return begin_value(false); }
  // Converts the Tok::Number just taken as begin_value would have.
  const Token* convert_number();
  // For a caller that walks the inside of a container itself and handles
  // every kind of token: the next token, consumed as the tokeniser gives it.
  // A number comes as its spelling, to be converted by convert_number(). A
  // failure or a faulty string is not recorded until the caller hands it to
  // fail_raw().
  const Token& take_raw() {
    if (ahead_) return consume();
    taken_ = tokens_.next();
    return taken_;
  }
  // A Number's spelling, or a U64's that the tokeniser read.
  std::string_view spelling(const Token& t) const noexcept { return tokens_.spelling(t); }
  bool fail_raw(const Token& t);
  // Inside an object: consumes the next member's name (Item), or the closing
  // brace (Closed).
  Step next_member(std::string_view& name);
  // Inside an object: consumes the next member's name and its colon when
  // the name is exactly the one `written` holds (without escapes).
  // Otherwise nothing is consumed and next_member reads the member as usual.
  bool next_member_is(const WrittenName& written) { return !ahead_ && tokens_.take_name(written, taken_); }
  // Inside an array: reports whether another element follows (Item, nothing
  // consumed) or consumes the closing bracket (Closed).
  Step next_element();
  // Skips one whole value, checking its grammar only.
  bool skip_value();
  // After the root value: the text must end here.
  bool finish();
  // Builds a generic value whose first token `first` was just consumed.
  bool build(const Token& first, Value& out);

  // Failure recorders; each returns false so decoders can `return c.fail...`.
  bool fail_syntax();                        // the tokeniser's own failure, at the next token
  bool fail_at(std::size_t offset, std::string message);
  bool fail_here(std::string message);       // at the last byte consumed
  bool fail_trailing();                      // at the start of the next token
  // What a decoder expected is asked only when it fails, so that its
  // text is never built on the way through.
  using Expecting = std::string (*)();
  bool invalid_type(const Token& found, Expecting expected);
  bool invalid_value(const Token& found, Expecting expected);
  // The number just taken cannot be held: its magnitude is beyond the doubles'.
  bool fail_out_of_range();

  bool failed() const noexcept { return !error_.empty(); }
  // The first failure: its message and " at line {l} column {c}".
  const std::string& error() const noexcept { return error_; }

 private:
  std::string describe(const Token& t) const;
  std::size_t start_of_next() const;
  // The token ahead, just peeked at, becomes the taken one.
  const Token& consume() {
    taken_ = ahead_token_;
    ahead_ = false;
    return taken_;
  }
  Token& held() noexcept { return taken_; }
  const Token* begin_value(bool convert);
  const Token* begin_other_value();

  Tokeniser tokens_;
  Token taken_;        // the last token consumed, numbers converted; none yet while its end is 0
  Token ahead_token_;  // the token ahead, when ahead_
  bool ahead_ = false;
  std::string_view number_text_;  // the last number's spelling
  std::string error_;
};

// The common steps are inline: every token of a text passes through them.

[[gnu::always_inline]] inline const Token* Cursor::begin_value(bool convert) {
  switch (peek().kind) {
    case Tok::U64:
      number_text_ = tokens_.spelling(consume());
      if (convert) held().u = read_short_integer(number_text_);
      return &held();
    case Tok::Number:
      consume();
      if (convert) return convert_number();
      number_text_ = tokens_.spelling(held());
      return &held();
    case Tok::Null:
    case Tok::False:
    case Tok::True:
    case Tok::String:
    case Tok::BeginObject:
    case Tok::BeginArray: return &consume();
    default: return begin_other_value();
  }
}

inline Cursor::Step Cursor::next_member(std::string_view& name) {
  const Tok kind = peek().kind;
  if (kind == Tok::Key) {
    name = tokens_.text(consume());
    return Step::Item;
  }
  if (kind == Tok::EndObject) {
    consume();
    return Step::Closed;
  }
  fail_syntax();
  return Step::Failed;
}

inline Cursor::Step Cursor::next_element() {
  const Tok kind = peek().kind;
  if (kind == Tok::EndArray) {
    consume();
    return Step::Closed;
  }
  if (kind == Tok::Fail) {
    fail_syntax();
    return Step::Failed;
  }
  return Step::Item;
}

}  // namespace qsdk::core::json
