#include "json/tape.hpp"

#include <algorithm>
#include <array>

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace qsdk::core::json {

bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

namespace {

// Why the grammar fails; the message also depends on what stands at the
// failing offset.
enum class Fault {
  ValueMissing, NameMissing, ColonMissing, ObjectDelimiterMissing, ArrayDelimiterMissing,
  InvalidEscape, LoneSurrogate, ControlCharacter, UnterminatedString, InvalidEncoding,
  FractionMissing, ExponentMissing, TooDeep,
};

std::string message(Fault fault, std::string_view text, std::size_t offset) {
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

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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

// At least the number of tokens the text can make: every value and name but
// the root follows one of [ { , : and every closing bracket is a token, as
// is the End. Counted without branches so that the loop vectorises.
std::size_t token_bound(std::string_view s) {
  std::size_t n = 2;
  for (const char c : s) {
    const char folded = static_cast<char>(c | 0x20);  // [ and ] fold onto { and }
    n += static_cast<std::size_t>((c == ',') | (c == ':') | (folded == '{') | (folded == '}'));
  }
  return n;
}

}  // namespace

// Reads the text into the tape. Declared in the json namespace, not an
// anonymous one, because the tape befriends it. Every reader returns false
// once it has ended the tape with a failure.
class Scanner {
 public:
  explicit Scanner(Tape& tape) : tape_(tape), s_(tape.source_) {}

  void run() {
    // Sized once: large texts would otherwise regrow the tape by copying,
    // each time into fresh pages.
    tape_.tokens_.reserve(token_bound(s_));
    if (!tokens()) return;
    skip_space();
    if (p_ != s_.size()) return end_with_failure(p_, "trailing characters");
    push(Tok::End, here());
  }

  void end_with_failure(std::size_t offset, std::string text) {
    push(Tok::Fail, static_cast<std::uint32_t>(offset));
    tape_.failure_ = std::move(text);
  }

 private:
  static constexpr std::uint32_t kNoFault = 0xffff'ffff;
  enum class Item { Failed, Scalar, Opened };

  char peek() const noexcept { return p_ < s_.size() ? s_[p_] : '\0'; }
  void skip_space() noexcept {
    while (p_ < s_.size() && is_json_space(s_[p_])) ++p_;
  }
  bool fail(Fault fault, std::size_t offset) {
    end_with_failure(offset, message(fault, s_, offset));
    return false;
  }
  std::uint32_t here() const noexcept { return static_cast<std::uint32_t>(p_); }
  Token& push(Tok kind, std::uint32_t end) {
    Token& t = tape_.tokens_.emplace_back();
    t.kind = kind;
    t.end = end;
    return t;
  }

  // The root value and everything nested in it.
  bool tokens() {
    skip_space();
    Item item = value();
    for (;;) {
      switch (item) {
        case Item::Failed: return false;
        case Item::Opened:
          skip_space();
          if (tape_.tokens_[open_[depth_ - 1]].kind == Tok::BeginObject) {
            if (peek() == '}') {
              close(Tok::EndObject);
              break;
            }
            item = member();
          } else {
            if (peek() == ']') {
              close(Tok::EndArray);
              break;
            }
            item = element();
          }
          continue;
        case Item::Scalar: break;
      }
      // Just past a complete value.
      if (depth_ == 0) return true;
      skip_space();
      const bool in_object = tape_.tokens_[open_[depth_ - 1]].kind == Tok::BeginObject;
      const char c = peek();
      if (c == ',') {
        ++p_;
        skip_space();
        item = in_object ? member() : element();
      } else if (in_object && c == '}') {
        close(Tok::EndObject);
        item = Item::Scalar;
      } else if (!in_object && c == ']') {
        close(Tok::EndArray);
        item = Item::Scalar;
      } else {
        return fail(in_object ? Fault::ObjectDelimiterMissing : Fault::ArrayDelimiterMissing, p_);
      }
    }
  }

  Item element() {
    ++counts_[depth_ - 1];
    return value();
  }

  Item member() {
    ++counts_[depth_ - 1];
    if (peek() != '"') {
      fail(Fault::NameMissing, p_);
      return Item::Failed;
    }
    if (!string(Tok::Key)) return Item::Failed;
    skip_space();
    if (peek() != ':') {
      fail(Fault::ColonMissing, p_);
      return Item::Failed;
    }
    ++p_;
    skip_space();
    return value();
  }

  Item value() {
    bool ok = false;
    switch (peek()) {
      case '{': return open(Tok::BeginObject) ? Item::Opened : Item::Failed;
      case '[': return open(Tok::BeginArray) ? Item::Opened : Item::Failed;
      case '"': ok = string(Tok::String); break;
      case 'n': ok = literal("null", Tok::Null); break;
      case 't': ok = literal("true", Tok::True); break;
      case 'f': ok = literal("false", Tok::False); break;
      case '-': case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
        ok = number();
        break;
      default: fail(Fault::ValueMissing, p_); break;
    }
    return ok ? Item::Scalar : Item::Failed;
  }

  bool literal(std::string_view word, Tok kind) {
    for (const char c : word) {
      if (peek() != c) return fail(Fault::ValueMissing, p_);
      ++p_;
    }
    push(kind, here());
    return true;
  }

  // The grammar of RFC 8259 section 6; the value is read when taken.
  bool number() {
    const std::size_t start = p_;
    std::uint8_t flags = kIntegral;
    if (peek() == '-') {
      flags |= kNegative;
      ++p_;
    }
    if (peek() == '0') {
      ++p_;
    } else if (is_digit(peek())) {
      while (is_digit(peek())) ++p_;
    } else {
      return fail(Fault::ValueMissing, p_);
    }
    if (peek() == '.') {
      flags &= static_cast<std::uint8_t>(~kIntegral);
      ++p_;
      if (!is_digit(peek())) return fail(Fault::FractionMissing, p_);
      while (is_digit(peek())) ++p_;
    }
    if (peek() == 'e' || peek() == 'E') {
      flags &= static_cast<std::uint8_t>(~kIntegral);
      ++p_;
      if (peek() == '+' || peek() == '-') ++p_;
      if (!is_digit(peek())) return fail(Fault::ExponentMissing, p_);
      while (is_digit(peek())) ++p_;
    }
    Token& t = push(Tok::Number, here());
    t.flags = flags;
    t.text.offset = static_cast<std::uint32_t>(start);
    t.text.length = static_cast<std::uint32_t>(p_ - start);
    return true;
  }

  int hex4(std::size_t at) const noexcept {
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
  // source; others are unescaped into the tape's store. An unpaired
  // surrogate escape is grammatical: a key with one fails, a value becomes a
  // FaultyString that fails only when taken.
  bool string(Tok kind) {
    std::string& store = tape_.strings_;
    const std::size_t store_start = store.size();
    const std::size_t start = ++p_;
    std::size_t copied = p_;  // when unescaping: the first byte not yet copied
    bool escaped = false;
    std::uint32_t lead_fault = kNoFault;  // the first high surrogate without its partner
    bool trail_fault = false;             // a low surrogate without its partner
    // A later syntax fault reports an earlier unpaired high surrogate first.
    const auto fail_here = [&](Fault fault, std::size_t offset) {
      return lead_fault != kNoFault ? fail(Fault::LoneSurrogate, lead_fault) : fail(fault, offset);
    };
    for (;;) {
      while (p_ < s_.size() && !kStringStops[static_cast<unsigned char>(s_[p_])]) ++p_;
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
      store.resize(store_start);
      if (kind == Tok::Key) return fail(Fault::LoneSurrogate, at);
      Token& t = push(Tok::FaultyString, here());
      t.text.offset = static_cast<std::uint32_t>(at);
      return true;
    }
    Token& t = push(kind, here());
    if (escaped) {
      store.append(s_.substr(copied, quote - copied));
      t.text.offset = static_cast<std::uint32_t>(store_start);
      t.text.length = static_cast<std::uint32_t>(store.size() - store_start);
    } else {
      t.flags = kInSource;
      t.text.offset = static_cast<std::uint32_t>(start);
      t.text.length = static_cast<std::uint32_t>(quote - start);
    }
    return true;
  }

  bool open(Tok kind) {
    if (depth_ == kMaxDepth) return fail(Fault::TooDeep, p_);
    open_[depth_] = static_cast<std::uint32_t>(tape_.tokens_.size());
    counts_[depth_++] = 0;
    ++p_;
    push(kind, here());
    return true;
  }

  // The opening token learns its size and partner, so decoders can reserve
  // and skip without walking the contents.
  void close(Tok kind) {
    --depth_;
    Token& begin = tape_.tokens_[open_[depth_]];
    begin.container.count = counts_[depth_];
    begin.container.close = static_cast<std::uint32_t>(tape_.tokens_.size());
    ++p_;
    push(kind, here());
  }

  Tape& tape_;
  std::string_view s_;
  std::size_t p_ = 0;
  std::size_t depth_ = 0;
  std::array<std::uint32_t, kMaxDepth> open_{};    // indices of the open containers' first tokens
  std::array<std::uint32_t, kMaxDepth> counts_{};  // their elements or members so far
};

Tape::Tape(std::string_view text) : source_(text) {
  Scanner scanner(*this);
  if (text.size() > kMaxTextSize) scanner.end_with_failure(0, "JSON texts of 4 GiB or more are not supported");
  else scanner.run();
}

std::string position_suffix(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last_newline = before.rfind('\n');
  const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
  return cat(" at line ", line, " column ", offset - line_start + 1);
}

}  // namespace qsdk::core::json
