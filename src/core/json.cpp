#include "core/json.hpp"

#include <rapidjson/reader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qsdk::core::json {

// ---------------------------------------------------------------------------
// Value

namespace {

bool is_nonempty_container(const Value& v) noexcept {
  if (const Array* a = v.as_array()) return !a->empty();
  if (const Object* o = v.as_object()) return !o->empty();
  return false;
}

}  // namespace

const Value* Value::member(std::string_view name) const noexcept {
  const Object* o = as_object();
  if (o == nullptr) return nullptr;
  const auto it = o->find(name);
  return it == o->end() ? nullptr : &it->second;
}

bool Value::has_nested_container() const noexcept {
  if (const Array* a = as_array()) return std::any_of(a->begin(), a->end(), is_nonempty_container);
  if (const Object* o = as_object())
    return std::any_of(o->begin(), o->end(), [](const auto& m) { return is_nonempty_container(m.second); });
  return false;
}

Value::~Value() {
  if (has_nested_container()) dismantle();
}

// Moves every nested container onto a work list and empties it there, so that
// no destructor ever runs more than two levels deep.
void Value::dismantle() noexcept {
  std::vector<Value> pending;
  const auto adopt_children = [&pending](Value& v) {
    if (auto* a = std::get_if<Array>(&v.v)) {
      for (Value& c : *a)
        if (is_nonempty_container(c)) pending.push_back(std::move(c));
    } else if (auto* o = std::get_if<Object>(&v.v)) {
      for (auto& m : *o)
        if (is_nonempty_container(m.second)) pending.push_back(std::move(m.second));
    }
  };
  adopt_children(*this);
  while (!pending.empty()) {
    Value next = std::move(pending.back());
    pending.pop_back();
    adopt_children(next);
  }
}

// ---------------------------------------------------------------------------
// Writing

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The shortest decimal digits that read back to |d| (d finite, not zero),
// with the power of ten just above the value: 0.d1d2... x 10^point.
struct Shortest {
  bool negative = false;
  std::string digits;
  int point = 0;
};

Shortest shortest(double d) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  const std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));  // [-]D[.DDD]e(+|-)XX
  Shortest out;
  std::size_t i = 0;
  if (s[i] == '-') {
    out.negative = true;
    ++i;
  }
  const std::size_t e = s.find('e', i);
  for (; i < e; ++i)
    if (s[i] != '.') out.digits += s[i];
  int exponent = 0;
  const char* first = s.data() + e + 1;
  if (*first == '+') ++first;
  std::from_chars(first, s.data() + s.size(), exponent);
  out.point = exponent + 1;
  return out;
}

void append_zeros(std::string& out, int n) {
  if (n > 0) out.append(static_cast<std::size_t>(n), '0');
}

// Fixed notation with at least one fractional digit: the form numbers take
// in messages ("floating point `0.00000015`").
std::string fixed_notation(double d) {
  if (d == 0) return std::signbit(d) ? "-0.0" : "0.0";
  if (!std::isfinite(d)) return std::isnan(d) ? "NaN" : (d < 0 ? "-inf" : "inf");
  const Shortest s = shortest(d);
  const int len = static_cast<int>(s.digits.size());
  std::string out = s.negative ? "-" : "";
  if (s.point >= len) {
    out += s.digits;
    append_zeros(out, s.point - len);
    out += ".0";
  } else if (s.point > 0) {
    out.append(s.digits, 0, static_cast<std::size_t>(s.point));
    out += '.';
    out.append(s.digits, static_cast<std::size_t>(s.point));
  } else {
    out += "0.";
    append_zeros(out, -s.point);
    out += s.digits;
  }
  return out;
}

bool is_json_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

void write_string(std::string& out, std::string_view s) {
  out += '"';
  std::size_t run = 0;  // start of the bytes not yet copied
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s, run, i - run);
    run = i + 1;
    out += '\\';
    switch (c) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '\b': out += 'b'; break;
      case '\t': out += 't'; break;
      case '\n': out += 'n'; break;
      case '\f': out += 'f'; break;
      case '\r': out += 'r'; break;
      default:
        out += "u00";
        out += kHex[c >> 4];
        out += kHex[c & 0x0f];
    }
  }
  out.append(s, run, s.size() - run);
  out += '"';
}

void write_number(std::string& out, std::uint64_t n) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

void write_number(std::string& out, std::int64_t n) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

// The layout Ryu's pretty printer gives (and JSON writers built on it).
void write_number(std::string& out, double d) {
  if (!std::isfinite(d)) {  // never parsed; JSON has no spelling for it
    out += "null";
    return;
  }
  if (d == 0) {
    out += std::signbit(d) ? "-0.0" : "0.0";
    return;
  }
  const Shortest s = shortest(d);
  const int len = static_cast<int>(s.digits.size());
  const int point = s.point;
  if (s.negative) out += '-';
  if (point >= len && point <= 16) {  // 1234e7 -> 12340000000.0
    out += s.digits;
    append_zeros(out, point - len);
    out += ".0";
  } else if (point > 0 && point <= 16) {  // 1234e-2 -> 12.34
    out.append(s.digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(s.digits, static_cast<std::size_t>(point));
  } else if (point > -5 && point <= 0) {  // 1234e-6 -> 0.001234
    out += "0.";
    append_zeros(out, -point);
    out += s.digits;
  } else {  // 1e16, 1.5e-7, 1.234e33
    out += s.digits[0];
    if (len > 1) {
      out += '.';
      out.append(s.digits, 1);
    }
    out += 'e';
    write_number(out, static_cast<std::int64_t>(point - 1));
  }
}

namespace {

// Writes nested values with an explicit stack rather than recursion.
class ValueWriter {
 public:
  explicit ValueWriter(std::string& out) : out_(out) {}

  void run(const Value& root) {
    emit(root);
    drain();
  }
  void run(const Object& root) {
    open(root);
    drain();
  }

 private:
  struct Frame {
    const Array* array = nullptr;
    std::size_t index = 0;
    const Object* object = nullptr;
    Object::const_iterator member{};
  };

  void open(const Object& o) {
    out_ += '{';
    stack_.push_back(Frame{nullptr, 0, &o, o.begin()});
  }

  void emit(const Value& v) {
    struct Visitor {
      ValueWriter& w;
      void operator()(std::nullptr_t) const { w.out_ += "null"; }
      void operator()(bool b) const { w.out_ += b ? "true" : "false"; }
      void operator()(std::uint64_t n) const { write_number(w.out_, n); }
      void operator()(std::int64_t n) const { write_number(w.out_, n); }
      void operator()(double d) const { write_number(w.out_, d); }
      void operator()(const std::string& s) const { write_string(w.out_, s); }
      void operator()(const Array& a) const {
        w.out_ += '[';
        w.stack_.push_back(Frame{&a, 0, nullptr, {}});
      }
      void operator()(const Object& o) const { w.open(o); }
    };
    std::visit(Visitor{*this}, v.v);
  }

  void drain() {
    while (!stack_.empty()) {
      Frame& f = stack_.back();
      const Value* next = nullptr;
      if (f.array != nullptr) {
        if (f.index == f.array->size()) {
          out_ += ']';
          stack_.pop_back();
          continue;
        }
        if (f.index != 0) out_ += ',';
        next = &(*f.array)[f.index++];
      } else {
        if (f.member == f.object->end()) {
          out_ += '}';
          stack_.pop_back();
          continue;
        }
        if (f.member != f.object->begin()) out_ += ',';
        write_string(out_, f.member->first);
        out_ += ':';
        next = &f.member->second;
        ++f.member;
      }
      emit(*next);
    }
  }

  std::string& out_;
  std::vector<Frame> stack_;
};

}  // namespace

void write(std::string& out, const Value& value) { ValueWriter(out).run(value); }
void write(std::string& out, const Object& object) { ValueWriter(out).run(object); }

// ---------------------------------------------------------------------------
// Tokenising

namespace {

constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag |
                                 rapidjson::kParseValidateEncodingFlag | rapidjson::kParseStopWhenDoneFlag;

// A read-only stream over the text whose Tell() is the byte offset. The end
// reads as NUL, which RapidJSON takes for the end of input; an embedded NUL is
// told apart by its offset.
struct InputStream {
  using Ch = char;
  const char* begin;
  const char* cur;
  const char* end;

  Ch Peek() const { return cur != end ? *cur : '\0'; }
  Ch Take() { return cur != end ? *cur++ : '\0'; }
  std::size_t Tell() const { return static_cast<std::size_t>(cur - begin); }
  // Write side of the stream concept; unused without in-situ parsing.
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  std::size_t PutEnd(Ch*) { return 0; }
};

// Whether a number in JSON syntax is at least 1 in magnitude. Used to tell
// overflow from underflow once the conversion has reported it out of range.
bool magnitude_at_least_one(std::string_view raw) {
  const auto is_digit = [&](std::size_t i) { return i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; };
  std::size_t i = raw.starts_with('-') ? 1 : 0;
  // The power of ten of the first non-zero digit. Such a digit exists: a
  // zero never overflows or underflows.
  long long power = 0;
  bool found = false;
  const std::size_t int_begin = i;
  while (is_digit(i)) ++i;
  for (std::size_t k = int_begin; k < i && !found; ++k)
    if (raw[k] != '0') {
      power = static_cast<long long>(i - k) - 1;
      found = true;
    }
  if (i < raw.size() && raw[i] == '.') {
    long long place = 0;
    for (++i; is_digit(i); ++i) {
      ++place;
      if (!found && raw[i] != '0') {
        power = -place;
        found = true;
      }
    }
  }
  long long exponent = 0;
  if (i < raw.size() && (raw[i] == 'e' || raw[i] == 'E')) {
    ++i;
    const bool negative = i < raw.size() && raw[i] == '-';
    if (i < raw.size() && (raw[i] == '-' || raw[i] == '+')) ++i;
    constexpr long long kCap = 1'000'000'000'000LL;  // beyond any double's range, far from overflowing
    for (; is_digit(i); ++i) exponent = std::min(kCap, exponent * 10 + (raw[i] - '0'));
    if (negative) exponent = -exponent;
  }
  return power + exponent >= 0;
}

// Classifies a number by its text: an integer that fits u64 is unsigned, a
// negative integer that fits i64 is signed, "-0" and everything else are
// doubles. False when the magnitude overflows a double.
bool classify_number(std::string_view raw, Token& t) {
  const char* first = raw.data();
  const char* last = first + raw.size();
  if (raw.find_first_of(".eE") == std::string_view::npos && raw != "-0") {
    if (raw.starts_with('-')) {
      if (std::from_chars(first, last, t.i).ec == std::errc{}) {
        t.kind = Tok::I64;
        return true;
      }
    } else if (std::from_chars(first, last, t.u).ec == std::errc{}) {
      t.kind = Tok::U64;
      return true;
    }
  }
  t.kind = Tok::F64;
  const auto r = std::from_chars(first, last, t.d, std::chars_format::general);
  if (r.ec == std::errc{}) return true;
  if (magnitude_at_least_one(raw)) return false;
  t.d = raw.starts_with('-') ? -0.0 : 0.0;  // underflow reads as zero
  return true;
}

// A surrogate code point in the decoded text (ED A0..BF): the validating
// reader refuses raw ones, so it came from an unpaired \uDC00-\uDFFF escape.
bool has_surrogate(std::string_view s) {
  for (std::size_t i = s.find('\xed'); i != std::string_view::npos; i = s.find('\xed', i + 1))
    if (i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0xa0) return true;
  return false;
}

std::string syntax_message(rapidjson::ParseErrorCode code, std::string_view text, std::size_t offset) {
  const bool at_end = offset >= text.size();
  const char here = at_end ? '\0' : text[offset];
  const auto after_comma = [&] {
    std::size_t i = offset;
    while (i > 0 && is_json_space(text[i - 1])) --i;
    return i > 0 && text[i - 1] == ',';
  };
  constexpr const char* kControl = "control character (\\u0000-\\u001F) found while parsing a string";
  switch (code) {
    case rapidjson::kParseErrorDocumentEmpty:
    case rapidjson::kParseErrorValueInvalid:
      if (at_end) return "EOF while parsing a value";
      if ((here == ']' || here == '}') && after_comma()) return "trailing comma";
      return "expected value";
    case rapidjson::kParseErrorObjectMissName:
      if (at_end) return "EOF while parsing an object";
      return here == '}' ? "trailing comma" : "key must be a string";
    case rapidjson::kParseErrorObjectMissColon:
      return at_end ? "EOF while parsing an object" : "expected `:`";
    case rapidjson::kParseErrorObjectMissCommaOrCurlyBracket:
      return at_end ? "EOF while parsing an object" : "expected `,` or `}`";
    case rapidjson::kParseErrorArrayMissCommaOrSquareBracket:
      return at_end ? "EOF while parsing a list" : "expected `,` or `]`";
    case rapidjson::kParseErrorStringUnicodeEscapeInvalidHex:
      return "invalid escape";
    case rapidjson::kParseErrorStringUnicodeSurrogateInvalid:
      return "lone leading surrogate in hex escape";
    case rapidjson::kParseErrorStringEscapeInvalid:
      return here == '\\' ? "invalid escape" : kControl;
    case rapidjson::kParseErrorStringMissQuotationMark:
      return at_end ? "EOF while parsing a string" : kControl;
    case rapidjson::kParseErrorStringInvalidEncoding:
      return "invalid unicode code point";
    case rapidjson::kParseErrorNumberTooBig:
      return "number out of range";
    case rapidjson::kParseErrorNumberMissFraction:
    case rapidjson::kParseErrorNumberMissExponent:
      return at_end ? "EOF while parsing a value" : "invalid number";
    default:
      return "invalid JSON";
  }
}

}  // namespace

// Receives RapidJSON's events and appends them to the tape. Declared in the
// json namespace, not an anonymous one, because the tape befriends it.
class TapeBuilder {
 public:
  TapeBuilder(Tape& tape, const InputStream& in) : tape_(tape), in_(in) {}

  bool Null() { return scalar(Tok::Null); }
  bool Bool(bool b) { return scalar(b ? Tok::True : Tok::False); }
  // Numbers arrive as raw text (RawNumber); these never fire.
  bool Int(int) { return false; }
  bool Uint(unsigned) { return false; }
  bool Int64(std::int64_t) { return false; }
  bool Uint64(std::uint64_t) { return false; }
  bool Double(double) { return false; }

  bool RawNumber(const char* s, rapidjson::SizeType n, bool) {
    Token t;
    t.end = in_.Tell();
    // Reported at the number's first byte, as the reader reports the
    // overflows it notices itself.
    if (!classify_number(std::string_view(s, n), t)) return fail(t.end - n, "number out of range");
    tape_.tokens_.push_back(t);
    return true;
  }
  bool String(const char* s, rapidjson::SizeType n, bool) { return text(Tok::String, s, n); }
  bool Key(const char* s, rapidjson::SizeType n, bool) { return text(Tok::Key, s, n); }
  // The reader announces brackets before consuming them: Tell() is the
  // bracket's own offset.
  bool StartObject() { return open(Tok::BeginObject); }
  bool EndObject(rapidjson::SizeType) { return close(Tok::EndObject); }
  bool StartArray() { return open(Tok::BeginArray); }
  bool EndArray(rapidjson::SizeType) { return close(Tok::EndArray); }

  bool failed() const { return failed_; }
  void end_with_failure(std::size_t offset, std::string message) {
    Token t;
    t.kind = Tok::Fail;
    t.end = offset;
    tape_.tokens_.push_back(t);
    tape_.failure_ = std::move(message);
  }

 private:
  bool scalar(Tok kind) {
    Token t;
    t.kind = kind;
    t.end = in_.Tell();
    tape_.tokens_.push_back(t);
    return true;
  }
  bool text(Tok kind, const char* s, rapidjson::SizeType n) {
    const std::string_view value(s, n);
    if (has_surrogate(value)) return fail(in_.Tell() - 1, "lone leading surrogate in hex escape");
    Token t;
    t.kind = kind;
    t.end = in_.Tell();
    t.length = n;
    t.text = tape_.strings_.size();
    tape_.strings_.append(value);
    tape_.tokens_.push_back(t);
    return true;
  }
  bool open(Tok kind) {
    if (depth_ == kMaxDepth) return fail(in_.Tell(), "recursion limit exceeded");
    ++depth_;
    return bracket(kind);
  }
  bool close(Tok kind) {
    --depth_;
    return bracket(kind);
  }
  bool bracket(Tok kind) {
    Token t;
    t.kind = kind;
    t.end = in_.Tell() + 1;
    tape_.tokens_.push_back(t);
    return true;
  }
  bool fail(std::size_t offset, std::string message) {
    end_with_failure(offset, std::move(message));
    failed_ = true;
    return false;
  }

  Tape& tape_;
  const InputStream& in_;
  std::size_t depth_ = 0;
  bool failed_ = false;
};

Tape::Tape(std::string_view text) : source_(text) {
  // Typical texts hold a token every few bytes; reserving up front avoids
  // most regrowth on large inputs.
  tokens_.reserve(text.size() / 6 + 2);
  strings_.reserve(text.size() / 2);
  InputStream in{text.data(), text.data(), text.data() + text.size()};
  TapeBuilder builder(*this, in);
  rapidjson::Reader reader;
  const rapidjson::ParseResult r = reader.Parse<kParseFlags>(in, builder);
  if (builder.failed()) return;
  if (r.IsError()) {
    builder.end_with_failure(r.Offset(), syntax_message(r.Code(), text, r.Offset()));
    return;
  }
  std::size_t o = in.Tell();
  while (o < text.size() && is_json_space(text[o])) ++o;
  if (o != text.size()) {
    builder.end_with_failure(o, "trailing characters");
    return;
  }
  Token end;
  end.kind = Tok::End;
  end.end = text.size();
  tokens_.push_back(end);
}

std::string position_suffix(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last_newline = before.rfind('\n');
  const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
  return cat(" at line ", line, " column ", offset - line_start + 1);
}

// ---------------------------------------------------------------------------
// Cursor

namespace {

// A text as a debugging view shows it: quoted, with quotes, backslashes and
// control characters escaped.
std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case 0: out += "\\0"; break;
      default:
        if (c < 0x20 || c == 0x7f) out += cat("\\u{", hex_number(c), "}");
        else out += ch;
    }
  }
  out += '"';
  return out;
}

}  // namespace

const Token* Cursor::begin_value() {
  const Token& t = tape_[pos_];
  switch (t.kind) {
    case Tok::Fail:
      fail_syntax();
      return nullptr;
    case Tok::Key:
    case Tok::EndObject:
    case Tok::EndArray:
    case Tok::End:
      // A decoder asked for a value where the text has none: a decoder fault.
      fail_at(start_of_next(), "expected value");
      return nullptr;
    default:
      ++pos_;
      return &t;
  }
}

Cursor::Step Cursor::next_member(std::string_view& name) {
  const Token& t = tape_[pos_];
  if (t.kind == Tok::EndObject) {
    ++pos_;
    return Step::Closed;
  }
  if (t.kind == Tok::Key) {
    ++pos_;
    name = tape_.text(t);
    return Step::Item;
  }
  fail_syntax();
  return Step::Failed;
}

Cursor::Step Cursor::next_element() {
  const Token& t = tape_[pos_];
  if (t.kind == Tok::EndArray) {
    ++pos_;
    return Step::Closed;
  }
  if (t.kind == Tok::Fail) {
    fail_syntax();
    return Step::Failed;
  }
  return Step::Item;
}

bool Cursor::skip_value() {
  std::size_t depth = 0;
  do {
    const Token& t = tape_[pos_];
    switch (t.kind) {
      case Tok::Fail: return fail_syntax();
      case Tok::End: return fail_at(t.end, "EOF while parsing a value");
      case Tok::BeginObject:
      case Tok::BeginArray: ++depth; break;
      case Tok::EndObject:
      case Tok::EndArray: --depth; break;
      default: break;
    }
    ++pos_;
  } while (depth > 0);
  return true;
}

bool Cursor::finish() {
  const Token& t = tape_[pos_];
  if (t.kind == Tok::End) return true;
  if (t.kind == Tok::Fail) return fail_syntax();
  return fail_trailing();
}

bool Cursor::build(const Token& first, Value& out) {
  std::vector<Value*> open;  // containers still awaiting members
  const Token* t = &first;
  Value* slot = &out;
  for (;;) {
    switch (t->kind) {
      case Tok::Null: *slot = nullptr; break;
      case Tok::False: *slot = false; break;
      case Tok::True: *slot = true; break;
      case Tok::U64: *slot = t->u; break;
      case Tok::I64: *slot = t->i; break;
      case Tok::F64: *slot = t->d; break;
      case Tok::String: *slot = std::string(tape_.text(*t)); break;
      case Tok::BeginArray:
        *slot = Array{};
        open.push_back(slot);
        break;
      case Tok::BeginObject:
        *slot = Object{};
        open.push_back(slot);
        break;
      default: return fail_at(t->end, "expected value");
    }
    slot = nullptr;
    while (slot == nullptr && !open.empty()) {
      Value& top = *open.back();
      if (auto* array = std::get_if<Array>(&top.v)) {
        const Step s = next_element();
        if (s == Step::Failed) return false;
        if (s == Step::Closed) open.pop_back();
        else slot = &array->emplace_back();
      } else {
        std::string_view name;
        const Step s = next_member(name);
        if (s == Step::Failed) return false;
        // A repeated name keeps the last value.
        if (s == Step::Closed) open.pop_back();
        else slot = &std::get<Object>(top.v).insert_or_assign(std::string(name), Value{}).first->second;
      }
    }
    if (slot == nullptr) return true;
    t = begin_value();
    if (t == nullptr) return false;
  }
}

bool Cursor::fail_syntax() {
  const Token& t = tape_[pos_];
  return fail_at(t.end, tape_.failure());
}

bool Cursor::fail_at(std::size_t offset, std::string message) {
  if (error_.empty()) error_ = message + position_suffix(tape_.source(), offset);
  return false;
}

bool Cursor::fail_here(std::string message) {
  const std::size_t last = pos_ == 0 ? 0 : tape_[pos_ - 1].end - 1;
  return fail_at(last, std::move(message));
}

bool Cursor::fail_trailing() { return fail_at(start_of_next(), "trailing characters"); }

bool Cursor::invalid_type(const Token& found, std::string_view expected) {
  return fail_here(cat("invalid type: ", describe(found), ", expected ", expected));
}

bool Cursor::invalid_value(const Token& found, std::string_view expected) {
  return fail_here(cat("invalid value: ", describe(found), ", expected ", expected));
}

std::string Cursor::describe(const Token& t) const {
  switch (t.kind) {
    case Tok::Null: return "null";
    case Tok::False: return "boolean `false`";
    case Tok::True: return "boolean `true`";
    case Tok::U64: return cat("integer `", t.u, "`");
    case Tok::I64: return cat("integer `", t.i, "`");
    case Tok::F64: return cat("floating point `", fixed_notation(t.d), "`");
    case Tok::String: return cat("string ", quoted(tape_.text(t)));
    case Tok::BeginArray: return "sequence";
    case Tok::BeginObject: return "map";
    default: return "unexpected token";
  }
}

std::size_t Cursor::start_of_next() const {
  const std::string_view s = tape_.source();
  std::size_t o = pos_ == 0 ? 0 : tape_[pos_ - 1].end;
  const auto skip_space = [&] {
    while (o < s.size() && is_json_space(s[o])) ++o;
  };
  skip_space();
  if (o < s.size() && (s[o] == ',' || s[o] == ':')) {
    ++o;
    skip_space();
  }
  return o;
}

}  // namespace qsdk::core::json
