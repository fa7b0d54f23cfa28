#include "json/tokeniser.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace qsdk::core::json {

enum class Tokeniser::Fault : std::uint8_t {
  ValueMissing, NameMissing, ColonMissing, ObjectDelimiterMissing, ArrayDelimiterMissing,
  InvalidEscape, LoneSurrogate, ControlCharacter, UnterminatedString, InvalidEncoding,
  FractionMissing, ExponentMissing, TooDeep,
};

std::string Tokeniser::message(Fault fault, std::string_view text, std::size_t offset) {
  const bool at_end = offset >= text.size();
  const char here = at_end ? '\0' : text[offset];
  const auto after_comma = [&] {
    std::size_t i = offset;
    while (i > 0 && is_json_space(text[i - 1])) --i;
    return i > 0 && text[i - 1] == ',';
  };
  switch (fault) {
    case Fault::ValueMissing:
      if (at_end) return "EOF while parsing a value";
      if ((here == ']' || here == '}') && after_comma()) return "trailing comma";
      return "expected value";
    case Fault::NameMissing:
      if (at_end) return "EOF while parsing an object";
      return here == '}' ? "trailing comma" : "key must be a string";
    case Fault::ColonMissing: return at_end ? "EOF while parsing an object" : "expected `:`";
    case Fault::ObjectDelimiterMissing: return at_end ? "EOF while parsing an object" : "expected `,` or `}`";
    case Fault::ArrayDelimiterMissing: return at_end ? "EOF while parsing a list" : "expected `,` or `]`";
    case Fault::InvalidEscape: return "invalid escape";
    case Fault::LoneSurrogate: return "lone leading surrogate in hex escape";
    case Fault::ControlCharacter: return "control character (\\u0000-\\u001F) found while parsing a string";
    case Fault::UnterminatedString: return "EOF while parsing a string";
    case Fault::InvalidEncoding: return "invalid unicode code point";
    case Fault::FractionMissing:
    case Fault::ExponentMissing: return at_end ? "EOF while parsing a value" : "invalid number";
    case Fault::TooDeep: return "recursion limit exceeded";
  }
  return "invalid JSON";
}

namespace {

// Bytes that end the fast scan of a string: quote, backslash, control
// characters and every non-ASCII byte (checked as UTF-8 one sequence at a time).
constexpr std::array<bool, 256> make_string_stops() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = true;
  for (int c = 0x80; c < 0x100; ++c) t[static_cast<std::size_t>(c)] = true;
  t['"'] = t['\\'] = true;
  return t;
}
constexpr auto kStringStops = make_string_stops();

#if defined(__SSE2__)
// The stops among the sixteen bytes at `p`, a bit for each. As signed bytes,
// every stop but the quote and the backslash is below 0x20 (the non-ASCII
// bytes are negative).
unsigned stops_in_16(const char* p) noexcept {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')),
                                                  _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\'))),
                                     _mm_cmplt_epi8(chunk, _mm_set1_epi8(0x20)));
  return static_cast<unsigned>(_mm_movemask_epi8(stops));
}
#endif

// The eight bytes at `p` as a little-endian word, whatever the machine:
// the first byte is the lowest, so that carries and borrows run from earlier
// bytes to later ones, and the first byte flagged is the lowest set.
std::uint64_t load_little(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = std::byteswap(word);
  return word;
}

// The first stop at or after `p`. Strings are mostly plain ASCII, so many
// bytes are checked at once.
std::size_t next_stop(std::string_view s, std::size_t p) noexcept {
  const char* data = s.data();
  const std::size_t size = s.size();
#if defined(__SSE2__)
  for (; size - p >= 16; p += 16) {
    const unsigned mask = stops_in_16(data + p);
    if (mask != 0) return p + static_cast<std::size_t>(std::countr_zero(mask));
  }
#else
  // Eight bytes at a time: a word holds a stop when one of its bytes is
  // below 0x20, a quote, a backslash or has its high bit set. The lowest
  // byte flagged is always a true stop (the borrow only flags bytes above one).
  constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101ULL;
  constexpr std::uint64_t kHigh = 0x8080'8080'8080'8080ULL;
  const auto zero_byte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
  for (; size - p >= 8; p += 8) {
    const std::uint64_t word = load_little(data + p);
    const std::uint64_t stops = ((word - kOnes * 0x20) & ~word & kHigh) | zero_byte(word ^ (kOnes * '"')) |
                                zero_byte(word ^ (kOnes * '\\')) | (word & kHigh);
    if (stops != 0) return p + static_cast<std::size_t>(std::countr_zero(stops) / 8);
  }
#endif
  while (p < size && !kStringStops[static_cast<unsigned char>(data[p])]) ++p;
  return p;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whether `n` bytes at `a` and `b` agree. Member names are short: a few
// loads that may overlap beat a call to memcmp for them.
[[gnu::always_inline]] inline bool same_bytes(const char* a, const char* b, std::size_t n) noexcept {
  const auto differ = [&](std::size_t at, auto width) {
    decltype(width) x, y;
    std::memcpy(&x, a + at, sizeof x);
    std::memcpy(&y, b + at, sizeof y);
    return x ^ y;
  };
  if (n >= 8) {
    std::uint64_t d = differ(n - 8, std::uint64_t{});
    for (std::size_t at = 0; at + 8 < n; at += 8) d |= differ(at, std::uint64_t{});
    return d == 0;
  }
  if (n >= 4) return (differ(0, std::uint32_t{}) | differ(n - 4, std::uint32_t{})) == 0;
  if (n >= 2) return (differ(0, std::uint16_t{}) | differ(n - 2, std::uint16_t{})) == 0;
  return n == 0 || *a == *b;
}

constexpr std::uint32_t kNoFault = 0xffff'ffff;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The offset of the first byte at or after `p` that is not a digit.
// Integers of many digits are skipped eight bytes at a time.
std::size_t skip_integer_digits(std::string_view s, std::size_t p) noexcept {
  constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101ULL;
  constexpr std::uint64_t kHigh = 0x8080'8080'8080'8080ULL;
  while (s.size() - p >= 8) {
    const std::uint64_t word = load_little(s.data() + p);
    // A byte's high bit ends up set when it is below '0' (borrowing), above
    // '9' (carrying) or not ASCII; the lowest byte flagged is the first that
    // is not a digit, as a digit neither borrows nor carries.
    const std::uint64_t not_digit = ((word - kOnes * '0') | (word + kOnes * (0x7f - '9')) | word) & kHigh;
    if (not_digit != 0) return p + static_cast<std::size_t>(std::countr_zero(not_digit)) / 8;
    p += 8;
  }
  while (p < s.size() && is_digit(s[p])) ++p;
  return p;
}

void append_code_point(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xe0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

}  // namespace

Tokeniser::Tokeniser(std::string_view text) : s_(text) {
  if (text.size() > kMaxTextSize) {
    fail_with(0, "JSON texts of 4 GiB or more are not supported");
  }
}

Token Tokeniser::token(Tok kind) const noexcept {
  Token t;
  t.kind = kind;
  t.end = static_cast<std::uint32_t>(p_);
  return t;
}

Token Tokeniser::fail_with(std::size_t offset, std::string text) {
  failure_ = std::move(text);
  last_ = Token();
  last_.kind = Tok::Fail;
  last_.end = static_cast<std::uint32_t>(offset);
  expect_ = Expect::Done;
  return last_;
}

Token Tokeniser::fail(Fault fault, std::size_t offset) { return fail_with(offset, message(fault, s_, offset)); }

// White space is looked for only where the byte in hand is not what the
// grammar wants next: compact texts have none, and each token is then told
// apart at its first byte.
Token Tokeniser::next() {
  switch (expect_) {
    case Expect::Done: return last_;
    case Expect::Value: return value();
    case Expect::Colon:
      if (peek() == ':') {
        ++p_;
        return value();
      }
      return skipped_space() ? next() : fail(Fault::ColonMissing, p_);
    case Expect::ObjectOpened:
      switch (peek()) {
        case '"': return member_name();
        case '}': return close(Tok::EndObject);
        default: return skipped_space() ? next() : fail(Fault::NameMissing, p_);
      }
    case Expect::ArrayOpened:
      if (peek() == ']') return close(Tok::EndArray);
      return skipped_space() ? next() : value();
    case Expect::ObjectMemberEnd:
      switch (peek()) {
        case ',': ++p_; return member_name();
        case '}': return close(Tok::EndObject);
        default: return skipped_space() ? next() : fail(Fault::ObjectDelimiterMissing, p_);
      }
    case Expect::ArrayElementEnd:
      switch (peek()) {
        case ',': ++p_; return value();
        case ']': return close(Tok::EndArray);
        default: return skipped_space() ? next() : fail(Fault::ArrayDelimiterMissing, p_);
      }
    case Expect::RootEnd: return end_of_text();
  }
  return last_;
}

// Kept out of next(), which then needs no stack frame of its own.
Token Tokeniser::end_of_text() {
  p_ = skip_json_space(s_, p_);
  if (p_ != s_.size()) return fail_with(p_, "trailing characters");
  last_ = token(Tok::End);
  expect_ = Expect::Done;
  return last_;
}

// Any text: white space may stand around the comma, the name and the colon.
bool Tokeniser::take_spaced_name(const WrittenName& written, bool first, Token& key) noexcept {
  const char* const s = s_.data();
  const std::size_t size = s_.size();
  const std::string_view quoted(written.text.data() + 1, written.size - 2);
  std::size_t name = skip_json_space(s_, p_);
  if (!first) {
    if (name == size || s[name] != ',') return false;
    name = skip_json_space(s_, name + 1);
  }
  if (size - name < quoted.size() || !same_bytes(s + name, quoted.data(), quoted.size())) return false;
  const std::size_t colon = skip_json_space(s_, name + quoted.size());
  if (colon == size || s[colon] != ':') return false;
  took_name(key, name, quoted.size(), colon + 1);
  return true;
}

Token Tokeniser::member_name() {
  if (peek() != '"') return skipped_space() ? member_name() : fail(Fault::NameMissing, p_);
  const Token t = string(Tok::Key);
  if (t.kind == Tok::Key) expect_ = Expect::Colon;
  return t;
}

Token Tokeniser::value() {
  const char c = peek();
  if (c == '"') return string(Tok::String);  // the most common value, told apart first
  switch (c) {
    case '{': return open(Tok::BeginObject, true);
    case '[': return open(Tok::BeginArray, false);
    case 'n': return literal("null", Tok::Null);
    case 't': return literal("true", Tok::True);
    case 'f': return literal("false", Tok::False);
    case '-': case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
      return number();
    default: return spaced_value();
  }
}

// Kept out of value(): white space before a value is rare.
Token Tokeniser::spaced_value() {
  if (!skipped_space()) return fail(Fault::ValueMissing, p_);
  return value();
}

Token Tokeniser::literal(std::string_view word, Tok kind) {
  for (const char c : word) {
    if (peek() != c) return fail(Fault::ValueMissing, p_);
    ++p_;
  }
  expect_ = after_value_;
  return token(kind);
}

// The grammar of RFC 8259 section 6. Integers of at most 19 digits, which
// always fit 64 unsigned bits, are read on the way; other numbers are read
// when taken.
Token Tokeniser::number() {
  const char* const s = s_.data();
  const std::size_t size = s_.size();
  const std::size_t start = p_;
  std::size_t p = p_;
  const auto digit_at = [&](std::size_t i) { return i < size && is_digit(s[i]); };
  const auto skip_digits = [&] {
    while (digit_at(p)) ++p;
  };
  std::uint8_t flags = kIntegral;
  if (p < size && s[p] == '-') {
    flags |= kNegative;
    ++p;
  }
  if (p < size && s[p] == '0') {
    ++p;
  } else if (digit_at(p)) {
    p = skip_integer_digits(s_, p);
  } else {
    return fail(Fault::ValueMissing, p);
  }
  if (p < size && s[p] == '.') {
    flags &= static_cast<std::uint8_t>(~kIntegral);
    ++p;
    if (!digit_at(p)) return fail(Fault::FractionMissing, p);
    skip_digits();
  }
  if (p < size && (s[p] == 'e' || s[p] == 'E')) {
    flags &= static_cast<std::uint8_t>(~kIntegral);
    ++p;
    if (p < size && (s[p] == '+' || s[p] == '-')) ++p;
    if (!digit_at(p)) return fail(Fault::ExponentMissing, p);
    skip_digits();
  }
  p_ = p;
  expect_ = after_value_;
  const std::size_t length = p - start;
  if (flags == kIntegral && length <= 19) {
    Token t = token(Tok::U64);
    t.flags = flags;
    t.digits = static_cast<std::uint8_t>(length);
    return t;
  }
  Token t = token(Tok::Number);
  t.flags = flags;
  t.text.offset = static_cast<std::uint32_t>(start);
  t.text.length = static_cast<std::uint32_t>(length);
  return t;
}

int Tokeniser::hex4(std::size_t at) const noexcept {
  if (at > s_.size() || s_.size() - at < 4) return -1;
  int cp = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    const int d = hex_digit(s_[at + k]);
    if (d < 0) return -1;
    cp = cp * 16 + d;
  }
  return cp;
}

// A string at the opening quote. Texts without escapes stay views into the
// source; others are unescaped into the store of their kind. An unpaired
// surrogate escape is grammatical: a key with one fails, a value becomes a
// FaultyString that fails only when taken.
Token Tokeniser::string(Tok kind) {
#if defined(__SSE2__)
  // Most strings are short and plain: the first stop within sixteen or
  // thirty-two bytes is their closing quote.
  const std::size_t start = p_ + 1;
  if (s_.size() - start >= 32) {
    std::size_t at = start;
    unsigned mask = stops_in_16(s_.data() + at);
    if (mask == 0) {
      at += 16;
      mask = stops_in_16(s_.data() + at);
    }
    const std::size_t stop = at + static_cast<std::size_t>(std::countr_zero(mask));
    if (mask != 0 && s_[stop] == '"') return plain_string(kind, start, stop);
  }
#endif
  return string_in_full(kind);
}

// The string from `start` to the quote at `quote` holds no escape.
Token Tokeniser::plain_string(Tok kind, std::size_t start, std::size_t quote) noexcept {
  p_ = quote + 1;
  if (kind == Tok::String) expect_ = after_value_;
  return Token::text_token(kind, kInSource, p_, start, quote - start);
}

Token Tokeniser::string_in_full(Tok kind) {
  std::string& store = kind == Tok::Key ? key_store_ : value_store_;
  const std::size_t start = ++p_;
  std::size_t copied = p_;  // when unescaping: the first byte not yet copied
  bool escaped = false;
  std::uint32_t lead_fault = kNoFault;  // the first high surrogate without its partner
  bool trail_fault = false;             // a low surrogate without its partner
  // A later syntax fault reports an earlier unpaired high surrogate first.
  const auto fail_here = [&](Fault fault, std::size_t offset) -> Token {
    return lead_fault != kNoFault ? fail(Fault::LoneSurrogate, lead_fault) : fail(fault, offset);
  };
  for (;;) {
    p_ = next_stop(s_, p_);
    if (p_ >= s_.size()) return fail_here(Fault::UnterminatedString, p_);
    const auto c = static_cast<unsigned char>(s_[p_]);
    if (c == '"') break;
    if (c >= 0x80) {
      const std::size_t width = utf8_sequence_length(s_, p_);
      if (width == 0) return fail_here(Fault::InvalidEncoding, p_);
      p_ += width;
      continue;
    }
    if (c < 0x20) return fail_here(Fault::ControlCharacter, p_);
    // A backslash.
    if (!escaped) store.clear();
    escaped = true;
    store.append(s_.substr(copied, p_ - copied));
    const std::size_t escape = p_++;
    switch (peek()) {
      case '"': store += '"'; break;
      case '\\': store += '\\'; break;
      case '/': store += '/'; break;
      case 'b': store += '\b'; break;
      case 'f': store += '\f'; break;
      case 'n': store += '\n'; break;
      case 'r': store += '\r'; break;
      case 't': store += '\t'; break;
      case 'u': {
        const int cp = hex4(p_ + 1);
        if (cp < 0) return fail_here(Fault::InvalidEscape, escape);
        p_ += 4;  // on the last hex digit
        if (cp >= 0xd800 && cp <= 0xdbff) {
          if (p_ + 2 < s_.size() && s_[p_ + 1] == '\\' && s_[p_ + 2] == 'u') {
            const int low = hex4(p_ + 3);
            if (low < 0) return fail_here(Fault::InvalidEscape, escape);
            if (low >= 0xdc00 && low <= 0xdfff) {
              append_code_point(store, 0x10000 + ((static_cast<std::uint32_t>(cp) - 0xd800) << 10) +
                                           (static_cast<std::uint32_t>(low) - 0xdc00));
              p_ += 6;
              break;
            }
          }
          if (lead_fault == kNoFault) lead_fault = static_cast<std::uint32_t>(escape);
        } else if (cp >= 0xdc00 && cp <= 0xdfff) {
          trail_fault = true;
        } else {
          append_code_point(store, static_cast<std::uint32_t>(cp));
        }
        break;
      }
      default: return fail_here(Fault::InvalidEscape, escape);
    }
    copied = ++p_;
  }
  const std::size_t quote = p_++;
  if (lead_fault != kNoFault || trail_fault) {
    const std::size_t at = lead_fault != kNoFault ? lead_fault : quote;
    if (kind == Tok::Key) return fail(Fault::LoneSurrogate, at);
    expect_ = after_value_;
    Token t = token(Tok::FaultyString);
    t.text.offset = static_cast<std::uint32_t>(at);
    return t;
  }
  if (!escaped) return plain_string(kind, start, quote);
  if (kind == Tok::String) expect_ = after_value_;
  Token t = token(kind);
  store.append(s_.substr(copied, quote - copied));
  t.text.offset = 0;
  t.text.length = static_cast<std::uint32_t>(store.size());
  return t;
}

Token Tokeniser::open(Tok kind, bool object) {
  if (depth_ == kMaxDepth) return fail(Fault::TooDeep, p_);
  objects_[depth_++] = object;
  ++p_;
  expect_ = object ? Expect::ObjectOpened : Expect::ArrayOpened;
  after_value_ = object ? Expect::ObjectMemberEnd : Expect::ArrayElementEnd;
  return token(kind);
}

Token Tokeniser::close(Tok kind) {
  --depth_;
  ++p_;
  after_value_ = after_value();
  expect_ = after_value_;
  return token(kind);
}

std::string position_suffix(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last_newline = before.rfind('\n');
  const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
  return cat(" at line ", line, " column ", offset - line_start + 1);
}

}  // namespace qsdk::core::json
