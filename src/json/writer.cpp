#include "json/writer.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <variant>
#include <vector>

namespace qsdk::core::json {

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

}  // namespace

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
  write_escaped(w, s);
  w.put('"');
}

void write_escaped(Writer& w, std::string_view s) {
  std::size_t run = 0;  // start of the bytes not yet written
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!kNeedsEscape[c]) continue;
    w.put(s.substr(run, i - run));
    write_escape(w, c);
    run = i + 1;
  }
  w.put(s.substr(run));
}

namespace {

// Written in place: room for the longest, then trimmed to what was written.
template <class Integer>
void write_integer(Writer& w, Integer n) {
  constexpr std::size_t kLongest = 20;  // 18446744073709551615, -9223372036854775808
  const std::size_t start = w.size();
  char* at = w.extend(kLongest);
  const auto r = std::to_chars(at, at + kLongest, n);
  w.truncate(start + static_cast<std::size_t>(r.ptr - at));
}

}  // namespace

void write_number(Writer& w, std::uint64_t n) { write_integer(w, n); }
void write_number(Writer& w, std::int64_t n) { write_integer(w, n); }

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

bool spelled_as_written(std::string_view s) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = s.starts_with('-') ? 1 : 0;
  const std::size_t whole = i;
  while (i < s.size() && digit(s[i])) ++i;
  const std::size_t whole_digits = i - whole;
  if (whole_digits == 0 || i == s.size() || s[i] != '.') return false;
  const std::size_t fraction = ++i;
  while (i < s.size() && digit(s[i])) ++i;
  if (i != s.size() || i == fraction || s.back() == '0') return false;  // an exponent, or a trailing zero
  if (s[whole] != '0') return whole_digits + (i - fraction) <= 15;
  // 0.000ddd: at most four zeros before the first significant digit keeps it at 1e-5 or more.
  std::size_t zeros = 0;
  while (s[fraction + zeros] == '0') ++zeros;
  return zeros <= 4 && i - fraction - zeros <= 15;
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

}  // namespace qsdk::core::json
