// The tokeniser: a text becomes a flat tape of tokens in one pass, without
// recursion (hostile nesting cannot exhaust the stack; nesting deeper than
// 127 levels ends the tape with a failure).
//
// The tape checks grammar only. Numbers stay as their spelling and strings
// that need no unescaping stay as views into the text; a number is converted
// and a string's surrogate escapes are judged when a decoder takes the value,
// so a value that is skipped only has to be well formed. A syntax failure is
// recorded as the tape's last token, so a decoder that meets a wrong type
// before it reports that instead: the first fault in document order wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qsdk::core::json {

enum class Tok : std::uint8_t {
  Null, False, True,
  U64, I64, F64,
  NegativeInteger,  // an integer below the signed 64-bit range, held as a double
  Number,           // on the tape: a number's spelling, converted when taken
  String,
  FaultyString,     // grammatical, but with an unpaired surrogate escape
  Key,
  BeginObject, EndObject, BeginArray, EndArray,
  End,   // the text ended cleanly after the root value
  Fail,  // the text fails here; the tape's failure says why
};

// Token flags.
inline constexpr std::uint8_t kInSource = 1;  // String, Key: the text is a view into the source
inline constexpr std::uint8_t kIntegral = 2;  // Number: no fraction, no exponent
inline constexpr std::uint8_t kNegative = 4;  // Number: spelled with a minus sign

// Offsets and lengths are 32-bit, which keeps a token at 16 bytes; texts of
// 4 GiB or more are refused before tokenising.
struct Token {
  Tok kind = Tok::End;
  std::uint8_t flags = 0;
  std::uint32_t end = 0;  // offset just past the token; for Fail, the failure's offset
  union {
    std::uint64_t u;
    std::int64_t i;
    double d;
    struct {
      std::uint32_t offset;  // String, Key: in the source or the tape's store; Number: in the source;
                             // FaultyString: where the surrogate fault lies
      std::uint32_t length;
    } text;
    struct {
      std::uint32_t count;  // elements or members
      std::uint32_t close;  // index of the matching End token; 0 while it never closed
    } container;  // BeginObject, BeginArray
  };
  Token() : u(0) {}
};
static_assert(sizeof(Token) == 16);

inline constexpr std::size_t kMaxTextSize = 0xffff'fffe;

// The 128th nested array or object is refused.
inline constexpr std::size_t kMaxDepth = 127;

// The whole text as tokens. Construction never fails: a syntax fault, too
// deep a nesting or trailing characters end the tape with a Fail token.
class Tape {
 public:
  explicit Tape(std::string_view text);

  std::string_view source() const noexcept { return source_; }
  const Token& operator[](std::size_t i) const noexcept { return tokens_[i]; }
  // A String's or Key's text, unescaped.
  std::string_view text(const Token& t) const noexcept {
    const std::string_view from = (t.flags & kInSource) != 0 ? source_ : std::string_view(strings_);
    return from.substr(t.text.offset, t.text.length);
  }
  // A Number's spelling.
  std::string_view spelling(const Token& t) const noexcept { return source_.substr(t.text.offset, t.text.length); }
  const std::string& failure() const noexcept { return failure_; }

 private:
  friend class Scanner;
  std::string_view source_;
  std::vector<Token> tokens_;
  std::string strings_;  // unescaped texts of strings that held escapes
  std::string failure_;
};

bool is_json_space(char c) noexcept;

// " at line {l} column {c}" for a byte offset of `text`, both counted from 1.
std::string position_suffix(std::string_view text, std::size_t offset);

}  // namespace qsdk::core::json
