// The tokeniser: hands a text out one token at a time, in document order,
// holding nothing but the token in hand. Memory stays flat however long the
// text, and nesting is tracked without recursion (nesting deeper than 127
// levels fails).
//
// It checks grammar only. Numbers stay as their spelling and strings that
// need no unescaping stay as views into the text; a number is converted and a
// string's surrogate escapes are judged when a decoder takes the value, so a
// value that is skipped only has to be well formed. A syntax failure is a
// token like any other, met where it stands: a decoder that finds a wrong
// type before it reports that instead, so the first fault in document order
// wins.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qsdk::core::json {

enum class Tok : std::uint8_t {
  Null, False, True,
  U64, I64, F64,   // from the tokeniser only U64, for integers of at most 19 digits, without their value
  NegativeInteger,  // an integer below the signed 64-bit range, held as a double
  Number,           // from the tokeniser: a number's spelling, converted when taken
  String,
  FaultyString,     // grammatical, but with an unpaired surrogate escape
  Key,
  BeginObject, EndObject, BeginArray, EndArray,
  End,   // the text ended cleanly after the root value
  Fail,  // the text fails here; the tokeniser's failure says why
};

// Token flags.
inline constexpr std::uint8_t kInSource = 1;  // String, Key: the text is a view into the source
inline constexpr std::uint8_t kIntegral = 2;  // Number: no fraction, no exponent
inline constexpr std::uint8_t kNegative = 4;  // Number: spelled with a minus sign

// Offsets and lengths are 32-bit; texts of 4 GiB or more are refused before
// tokenising.
struct Token {
  Tok kind = Tok::End;
  std::uint8_t flags = 0;
  std::uint8_t digits = 0;  // U64 from the tokeniser: the length of its spelling, which ends at `end`
                            // (its value is read from there when it is taken)
  std::uint32_t end = 0;    // offset just past the token; for Fail, the failure's offset
  union {
    std::uint64_t u;
    std::int64_t i;
    double d;
    struct {
      std::uint32_t offset;  // String, Key: in the source or the tokeniser's store; Number: in the source;
                             // FaultyString: where the surrogate fault lies
      std::uint32_t length;
    } text;
  };
  Token() : u(0) {}
  // A String or Key whose text is `length` bytes from `offset`.
  static Token text_token(Tok kind, std::uint8_t flags, std::size_t end, std::size_t offset, std::size_t length) noexcept {
    Token t;
    t.kind = kind;
    t.flags = flags;
    t.end = static_cast<std::uint32_t>(end);
    t.text.offset = static_cast<std::uint32_t>(offset);
    t.text.length = static_cast<std::uint32_t>(length);
    return t;
  }
};

inline constexpr std::size_t kMaxTextSize = 0xffff'fffe;

// The 128th nested array or object is refused.
inline constexpr std::size_t kMaxDepth = 127;

// Most texts are compact: any byte above the space character is told apart
// by one comparison.
inline bool is_json_space(char c) noexcept {
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
}

// The offset of the first byte at or after `at` that is not white space.
inline std::size_t skip_json_space(std::string_view text, std::size_t at) noexcept {
  while (at < text.size() && is_json_space(text[at])) ++at;
  return at;
}

// A member name as the canonical text writes it after a comma, `,"name":`,
// zero-padded to a fixed size so that it can be compared with the text many
// bytes at once.
struct WrittenName {
  static constexpr std::size_t kCapacity = 32;
  std::array<char, kCapacity> text{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return std::string_view(text.data(), size); }
};

class Tokeniser {
 public:
  explicit Tokeniser(std::string_view text);
  Tokeniser(const Tokeniser&) = delete;
  Tokeniser& operator=(const Tokeniser&) = delete;

  // The next token. After End or Fail, the same token again.
  Token next();
  // Where a member name comes next: takes it into `key`, with its colon,
  // when it is exactly the name `written` holds (without escapes), and
  // returns true. Otherwise reads nothing. A decoder that knows which name
  // most likely follows is spared reading it as a token.
  bool take_name(const WrittenName& written, Token& key) noexcept;

  std::string_view source() const noexcept { return s_; }
  // A String's or Key's text, unescaped. An unescaped text lives until the
  // next token of the same kind (key or value) is read.
  std::string_view text(const Token& t) const noexcept {
    if ((t.flags & kInSource) != 0) return std::string_view(s_.data() + t.text.offset, t.text.length);
    const std::string& store = t.kind == Tok::Key ? key_store_ : value_store_;
    return std::string_view(store.data() + t.text.offset, t.text.length);
  }
  // A Number's spelling, or a U64's that the tokeniser read.
  std::string_view spelling(const Token& t) const noexcept {
    if (t.kind == Tok::U64) return std::string_view(s_.data() + t.end - t.digits, t.digits);
    return std::string_view(s_.data() + t.text.offset, t.text.length);
  }
  const std::string& failure() const noexcept { return failure_; }

 private:
  // What the text must hold next. The kind of the innermost open container
  // is part of the state, so that each token is told apart by one switch.
  enum class Expect : std::uint8_t {
    Value,            // a value: the root, or a member's once its name and colon are taken
    Colon,            // the colon after a member name, then the value
    ObjectOpened,     // the first member's name, or the closing brace
    ArrayOpened,      // the first element, or the closing bracket
    ObjectMemberEnd,  // after a member's value: a comma and the next name, or the closing brace
    ArrayElementEnd,  // after an element: a comma and the next element, or the closing bracket
    RootEnd,          // after the root value: the end of the text
    Done,             // End or Fail was handed out
  };

  enum class Fault : std::uint8_t;  // why the grammar fails
  // The failure's text, which also depends on what stands at `offset`.
  static std::string message(Fault fault, std::string_view text, std::size_t offset);

  char peek() const noexcept { return p_ < s_.size() ? s_[p_] : '\0'; }
  // Skips the white space that stands next, if any, and tells whether
  // there was some.
  bool skipped_space() noexcept {
    if (p_ == s_.size() || !is_json_space(s_[p_])) return false;
    p_ = skip_json_space(s_, p_ + 1);
    return true;
  }
  // After a value, in whatever holds it.
  Expect after_value() const noexcept {
    if (depth_ == 0) return Expect::RootEnd;
    return objects_[depth_ - 1] ? Expect::ObjectMemberEnd : Expect::ArrayElementEnd;
  }
  Token fail(Fault fault, std::size_t offset);
  Token fail_with(std::size_t offset, std::string text);
  Token token(Tok kind) const noexcept;
  Token value();
  [[gnu::noinline]] Token spaced_value();
  [[gnu::noinline]] Token end_of_text();
  [[gnu::noinline]] bool take_spaced_name(const WrittenName& written, bool first, Token& key) noexcept;
  void took_name(Token& key, std::size_t name, std::size_t quoted_size, std::size_t after) noexcept;
  Token member_name();
  Token literal(std::string_view word, Tok kind);
  Token number();
  Token string(Tok kind);
  Token string_in_full(Tok kind);
  Token plain_string(Tok kind, std::size_t start, std::size_t quote) noexcept;
  Token open(Tok kind, bool object);
  Token close(Tok kind);
  int hex4(std::size_t at) const noexcept;

  std::string_view s_;
  std::size_t p_ = 0;
  Expect expect_ = Expect::Value;
  Expect after_value_ = Expect::RootEnd;  // after_value(), kept as containers open and close
  Token last_;  // the End or Fail token, once handed out
  std::size_t depth_ = 0;
  std::array<bool, kMaxDepth> objects_{};  // whether each open container is an object
  std::string key_store_;    // the last unescaped member name
  std::string value_store_;  // the last unescaped string value
  std::string failure_;
};

// Inline, as record decoders ask for nearly every member's name; white space
// is handled out of line.
inline bool Tokeniser::take_name(const WrittenName& written, Token& key) noexcept {
  const bool first = expect_ == Expect::ObjectOpened;
  if (!first && expect_ != Expect::ObjectMemberEnd) return false;
#if defined(__SSE2__)
  // Compact text, the usual: the name stands with its comma and colon
  // exactly as they are written, compared sixteen bytes at once.
  const std::size_t skipped = first ? 1 : 0;  // the comma
  const std::size_t compact = written.size - skipped;
  if (s_.size() - p_ >= 16 && compact <= 16) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s_.data() + p_));
    const __m128i want = _mm_loadu_si128(reinterpret_cast<const __m128i*>(written.text.data() + skipped));
    const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, want)));
    const unsigned needed = (1u << compact) - 1;
    if ((same & needed) == needed) {
      took_name(key, p_ + 1 - skipped, written.size - 2, p_ + compact);
      return true;
    }
  }
#endif
  return take_spaced_name(written, first, key);
}

// The name in quotes at `name`, `quoted_size` bytes long, and its colon up
// to `after` were read.
inline void Tokeniser::took_name(Token& key, std::size_t name, std::size_t quoted_size, std::size_t after) noexcept {
  p_ = after;
  expect_ = Expect::Value;
  key = Token::text_token(Tok::Key, kInSource, name + quoted_size, name + 1, quoted_size - 2);
}

// " at line {l} column {c}" for a byte offset of `text`, both counted from 1.
std::string position_suffix(std::string_view text, std::size_t offset);

}  // namespace qsdk::core::json
