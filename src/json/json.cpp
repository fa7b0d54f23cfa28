#include "json/json.hpp"

#include <rapidjson/reader.h>

#include <algorithm>
#include <array>
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

Object::Object(std::initializer_list<value_type> members) {
  members_.reserve(members.size());
  for (const auto& m : members) members_.push_back(m);
  settle();
}

Object::const_iterator Object::find(std::string_view name) const noexcept {
  const auto it = std::lower_bound(members_.begin(), members_.end(), name,
                                   [](const value_type& m, std::string_view n) { return m.first < n; });
  return it != members_.end() && it->first == name ? it : members_.end();
}

Value& Object::insert_or_assign(std::string name, Value value) {
  auto it = std::lower_bound(members_.begin(), members_.end(), name,
                             [](const value_type& m, const std::string& n) { return m.first < n; });
  if (it != members_.end() && it->first == name) {
    it->second = std::move(value);
  } else {
    it = members_.emplace(it, std::move(name), std::move(value));
  }
  return it->second;
}

void Object::settle() {
  const auto by_name = [](const value_type& a, const value_type& b) { return a.first < b.first; };
  const auto strictly_sorted = [&] {
    for (std::size_t i = 1; i < members_.size(); ++i)
      if (!(members_[i - 1].first < members_[i].first)) return false;
    return true;
  };
  if (strictly_sorted()) return;  // the usual case: canonical input
  // Stable, so that among equal names document order survives and the last
  // one can be kept. Small objects sort in place without a scratch buffer.
  if (members_.size() <= 16) {
    for (std::size_t i = 1; i < members_.size(); ++i)
      for (std::size_t j = i; j > 0 && by_name(members_[j], members_[j - 1]); --j)
        std::swap(members_[j], members_[j - 1]);
  } else {
    std::stable_sort(members_.begin(), members_.end(), by_name);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (i + 1 < members_.size() && members_[i + 1].first == members_[i].first) continue;
    if (kept != i) members_[kept] = std::move(members_[i]);
    ++kept;
  }
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(kept), members_.end());
}

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
  char buf[20] = {};  // at most 17 significant digits
  std::size_t len = 0;
  int point = 0;
  std::string_view digits() const { return std::string_view(buf, len); }
};

Shortest shortest(double d) {
  char text[40];
  const auto r = std::to_chars(text, text + sizeof text, d, std::chars_format::scientific);
  const std::string_view s(text, static_cast<std::size_t>(r.ptr - text));  // [-]D[.DDD]e(+|-)XX
  Shortest out;
  std::size_t i = 0;
  if (s[i] == '-') {
    out.negative = true;
    ++i;
  }
  const std::size_t e = s.find('e', i);
  for (; i < e; ++i)
    if (s[i] != '.') out.buf[out.len++] = s[i];
  int exponent = 0;
  const char* first = s.data() + e + 1;
  if (*first == '+') ++first;
  std::from_chars(first, s.data() + s.size(), exponent);
  out.point = exponent + 1;
  return out;
}

// Fixed notation with at least one fractional digit: the form numbers take
// in messages ("floating point `0.00000015`").
std::string fixed_notation(double d) {
  if (d == 0) return std::signbit(d) ? "-0.0" : "0.0";
  if (!std::isfinite(d)) return std::isnan(d) ? "NaN" : (d < 0 ? "-inf" : "inf");
  const Shortest s = shortest(d);
  const std::string_view digits = s.digits();
  const int len = static_cast<int>(s.len);
  std::string out = s.negative ? "-" : "";
  if (s.point >= len) {
    out += digits;
    out.append(static_cast<std::size_t>(s.point - len), '0');
    out += ".0";
  } else if (s.point > 0) {
    out += digits.substr(0, static_cast<std::size_t>(s.point));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(s.point));
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-s.point), '0');
    out += digits;
  }
  return out;
}

bool is_json_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

namespace {

// Bytes a JSON string cannot carry raw: control characters, quote, backslash.
constexpr std::array<bool, 256> make_escape_table() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = true;
  t['"'] = t['\\'] = true;
  return t;
}
constexpr auto kNeedsEscape = make_escape_table();

void write_escape(Writer& w, unsigned char c) {
  switch (c) {
    case '"': w.put("\\\""); break;
    case '\\': w.put("\\\\"); break;
    case '\b': w.put("\\b"); break;
    case '\t': w.put("\\t"); break;
    case '\n': w.put("\\n"); break;
    case '\f': w.put("\\f"); break;
    case '\r': w.put("\\r"); break;
    default: {
      const char u[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0x0f]};
      w.put(std::string_view(u, sizeof u));
    }
  }
}

}  // namespace

void write_string(Writer& w, std::string_view s) {
  w.put('"');
  std::size_t run = 0;  // start of the bytes not yet written
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!kNeedsEscape[c]) continue;
    w.put(s.substr(run, i - run));
    write_escape(w, c);
    run = i + 1;
  }
  w.put(s.substr(run));
  w.put('"');
}

void write_number(Writer& w, std::uint64_t n) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  w.put(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void write_number(Writer& w, std::int64_t n) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  w.put(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// The layout Ryu's pretty printer gives (and JSON writers built on it).
void write_number(Writer& w, double d) {
  if (!std::isfinite(d)) {  // never parsed; JSON has no spelling for it
    w.put("null");
    return;
  }
  if (d == 0) {
    w.put(std::signbit(d) ? "-0.0" : "0.0");
    return;
  }
  const Shortest s = shortest(d);
  const int len = static_cast<int>(s.len);
  const int point = s.point;
  const std::string_view digits = s.digits();
  const auto zeros = [&w](int n) {
    for (; n > 0; --n) w.put('0');
  };
  if (s.negative) w.put('-');
  if (point >= len && point <= 16) {  // 1234e7 -> 12340000000.0
    w.put(digits);
    zeros(point - len);
    w.put(".0");
  } else if (point > 0 && point <= 16) {  // 1234e-2 -> 12.34
    w.put(digits.substr(0, static_cast<std::size_t>(point)));
    w.put('.');
    w.put(digits.substr(static_cast<std::size_t>(point)));
  } else if (point > -5 && point <= 0) {  // 1234e-6 -> 0.001234
    w.put("0.");
    zeros(-point);
    w.put(digits);
  } else {  // 1e16, 1.5e-7, 1.234e33
    w.put(digits[0]);
    if (len > 1) {
      w.put('.');
      w.put(digits.substr(1));
    }
    w.put('e');
    write_number(w, static_cast<std::int64_t>(point - 1));
  }
}

namespace {

// Writes nested values with an explicit stack rather than recursion; the
// first levels live inline, since most values are shallow.
class ValueWriter {
 public:
  explicit ValueWriter(Writer& w) : w_(w) {}

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

  Frame& top() { return depth_ <= kInline ? inline_[depth_ - 1] : deep_.back(); }
  void push(Frame f) {
    if (depth_ < kInline) inline_[depth_] = f;
    else deep_.push_back(f);
    ++depth_;
  }
  void pop() {
    if (depth_ > kInline) deep_.pop_back();
    --depth_;
  }

  void open(const Object& o) {
    w_.put('{');
    push(Frame{nullptr, 0, &o, o.begin()});
  }

  void emit(const Value& v) {
    struct Visitor {
      ValueWriter& vw;
      void operator()(std::nullptr_t) const { vw.w_.put("null"); }
      void operator()(bool b) const { vw.w_.put(b ? "true" : "false"); }
      void operator()(std::uint64_t n) const { write_number(vw.w_, n); }
      void operator()(std::int64_t n) const { write_number(vw.w_, n); }
      void operator()(double d) const { write_number(vw.w_, d); }
      void operator()(const std::string& s) const { write_string(vw.w_, s); }
      void operator()(const Array& a) const {
        vw.w_.put('[');
        vw.push(Frame{&a, 0, nullptr, {}});
      }
      void operator()(const Object& o) const { vw.open(o); }
    };
    std::visit(Visitor{*this}, v.v);
  }

  void drain() {
    while (depth_ > 0) {
      Frame& f = top();
      const Value* next = nullptr;
      if (f.array != nullptr) {
        if (f.index == f.array->size()) {
          w_.put(']');
          pop();
          continue;
        }
        if (f.index != 0) w_.put(',');
        next = &(*f.array)[f.index++];
      } else {
        if (f.member == f.object->end()) {
          w_.put('}');
          pop();
          continue;
        }
        if (f.member != f.object->begin()) w_.put(',');
        write_string(w_, f.member->first);
        w_.put(':');
        next = &f.member->second;
        ++f.member;
      }
      emit(*next);
    }
  }

  static constexpr std::size_t kInline = 16;
  Writer& w_;
  std::size_t depth_ = 0;
  std::array<Frame, kInline> inline_{};
  std::vector<Frame> deep_;
};

}  // namespace

void write(Writer& w, const Value& value) { ValueWriter(w).run(value); }
void write(Writer& w, const Object& object) { ValueWriter(w).run(object); }

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
  for (std::size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '\xed' && static_cast<unsigned char>(s[i + 1]) >= 0xa0) return true;
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
    t.end = tell();
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
  bool EndObject(rapidjson::SizeType members) { return close(Tok::EndObject, members); }
  bool StartArray() { return open(Tok::BeginArray); }
  bool EndArray(rapidjson::SizeType elements) { return close(Tok::EndArray, elements); }

  bool failed() const { return failed_; }
  void end_with_failure(std::size_t offset, std::string message) {
    Token t;
    t.kind = Tok::Fail;
    t.end = static_cast<std::uint32_t>(offset);
    tape_.tokens_.push_back(t);
    tape_.failure_ = std::move(message);
  }

 private:
  std::uint32_t tell() const { return static_cast<std::uint32_t>(in_.Tell()); }

  bool scalar(Tok kind) {
    Token t;
    t.kind = kind;
    t.end = tell();
    tape_.tokens_.push_back(t);
    return true;
  }
  bool text(Tok kind, const char* s, rapidjson::SizeType n) {
    const std::string_view value(s, n);
    if (has_surrogate(value)) return fail(in_.Tell() - 1, "lone leading surrogate in hex escape");
    Token t;
    t.kind = kind;
    t.end = tell();
    t.text.offset = static_cast<std::uint32_t>(tape_.strings_.size());
    t.text.length = n;
    tape_.strings_.append(value);
    tape_.tokens_.push_back(t);
    return true;
  }
  bool open(Tok kind) {
    if (depth_ == kMaxDepth) return fail(in_.Tell(), "recursion limit exceeded");
    open_[depth_++] = static_cast<std::uint32_t>(tape_.tokens_.size());
    return bracket(kind);
  }
  // The opening token learns its size and partner, so decoders can reserve
  // and skip without walking the contents.
  bool close(Tok kind, rapidjson::SizeType count) {
    Token& begin = tape_.tokens_[open_[--depth_]];
    begin.container.count = count;
    begin.container.close = static_cast<std::uint32_t>(tape_.tokens_.size());
    return bracket(kind);
  }
  bool bracket(Tok kind) {
    Token t;
    t.kind = kind;
    t.end = tell() + 1;
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
  std::array<std::uint32_t, kMaxDepth> open_{};  // indices of the open containers' first tokens
  bool failed_ = false;
};

Tape::Tape(std::string_view text) : source_(text) {
  InputStream in{text.data(), text.data(), text.data() + text.size()};
  TapeBuilder builder(*this, in);
  if (text.size() > kMaxTextSize) {
    builder.end_with_failure(0, "JSON texts of 4 GiB or more are not supported");
    return;
  }
  // Typical texts hold a token every four or five bytes; reserving up front
  // avoids regrowth (pages never written are never touched).
  tokens_.reserve(text.size() / 4 + 2);
  strings_.reserve(text.size() / 2);
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
  end.end = static_cast<std::uint32_t>(text.size());
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
  const Token& t = tape_[pos_];
  switch (t.kind) {
    case Tok::Fail: return fail_syntax();
    case Tok::BeginObject:
    case Tok::BeginArray:
      // A container that never closed ends the tape with its failure.
      if (t.container.close == 0) {
        while (tape_[pos_].kind != Tok::Fail) ++pos_;
        return fail_syntax();
      }
      pos_ = t.container.close + 1;
      return true;
    default:
      ++pos_;
      return true;
  }
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
      case Tok::BeginArray: {
        Array a;
        a.reserve(t->container.count);
        *slot = std::move(a);
        open.push_back(slot);
        break;
      }
      case Tok::BeginObject: {
        Object o;
        o.reserve(t->container.count);
        *slot = std::move(o);
        open.push_back(slot);
        break;
      }
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
        auto& object = std::get<Object>(top.v);
        std::string_view name;
        const Step s = next_member(name);
        if (s == Step::Failed) return false;
        if (s == Step::Closed) {
          object.settle();  // sorted, a repeated name keeping its last value
          open.pop_back();
        } else {
          slot = &object.append(std::string(name));
        }
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
