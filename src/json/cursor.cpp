#include "json/cursor.hpp"

#include <cmath>
#include <variant>
#include <vector>

#include "base/text.hpp"
#include "json/number.hpp"
#include "json/writer.hpp"

namespace qsdk::core::json {

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

// What begin_value does not take inline: failures, and tokens where no
// value stands.
const Token* Cursor::begin_other_value() {
  switch (peek().kind) {
    case Tok::Fail:
      fail_syntax();
      return nullptr;
    case Tok::FaultyString:
      consume();
      fail_at(held().text.offset, "lone leading surrogate in hex escape");
      return nullptr;
    default:
      // A decoder asked for a value where the text has none: a decoder fault.
      fail_at(start_of_next(), "expected value");
      return nullptr;
  }
}

// Inside a container the tokeniser hands out nothing but values, names,
// closing brackets and these.
bool Cursor::fail_raw(const Token& t) {
  switch (t.kind) {
    case Tok::Fail: return fail_at(t.end, tokens_.failure());
    case Tok::FaultyString: return fail_at(t.text.offset, "lone leading surrogate in hex escape");
    default: return fail_at(t.end, "expected value");
  }
}

// A negative integer beyond the doubles' range fails only where it is held
// as a double, not where its sign alone refuses it.
const Token* Cursor::convert_number() {
  number_text_ = tokens_.spelling(held());
  const Number n = read_number(number_text_, (held().flags & kIntegral) != 0);
  switch (n.kind) {
    case Number::Kind::U64: held().kind = Tok::U64; held().u = n.u; break;
    case Number::Kind::I64: held().kind = Tok::I64; held().i = n.i; break;
    case Number::Kind::F64: held().kind = Tok::F64; held().d = n.d; break;
    case Number::Kind::NegativeInteger: held().kind = Tok::NegativeInteger; held().d = n.d; break;
    case Number::Kind::OutOfRange:
      fail_out_of_range();
      return nullptr;
  }
  return &held();
}

// Reported at the number's first byte.
bool Cursor::fail_out_of_range() {
  return fail_at(static_cast<std::size_t>(number_text_.data() - tokens_.source().data()), "number out of range");
}

// Walks the value's tokens, counting open containers; the tokeniser has
// checked their grammar, and nothing in them is taken.
bool Cursor::skip_value() {
  std::size_t open = 0;
  do {
    switch (peek().kind) {
      case Tok::Fail: return fail_syntax();
      case Tok::BeginObject:
      case Tok::BeginArray: ++open; break;
      case Tok::EndObject:
      case Tok::EndArray:
        if (open == 0) return fail_at(start_of_next(), "expected value");
        --open;
        break;
      case Tok::End: return fail_at(start_of_next(), "expected value");
      default: break;
    }
    consume();
  } while (open != 0);
  return true;
}

bool Cursor::finish() {
  const Tok kind = peek().kind;
  if (kind == Tok::End) return true;
  if (kind == Tok::Fail) return fail_syntax();
  return fail_trailing();
}

bool Cursor::build(const Token& first, Value& out) {
  std::vector<Value*> open;  // containers still awaiting members
  const Token* t = &first;
  Value* slot = &out;
  for (;;) {
    if (t->kind == Tok::NegativeInteger && !std::isfinite(t->d)) return fail_out_of_range();
    switch (t->kind) {
      case Tok::Null: *slot = nullptr; break;
      case Tok::False: *slot = false; break;
      case Tok::True: *slot = true; break;
      case Tok::U64: *slot = t->u; break;
      case Tok::I64: *slot = t->i; break;
      case Tok::F64:
      case Tok::NegativeInteger: *slot = t->d; break;
      case Tok::String: *slot = std::string(tokens_.text(*t)); break;
      case Tok::BeginArray:
        *slot = Array();
        open.push_back(slot);
        break;
      case Tok::BeginObject:
        *slot = Object();
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
  const Token& t = peek();
  return fail_at(t.end, tokens_.failure());
}

bool Cursor::fail_at(std::size_t offset, std::string message) {
  if (error_.empty()) error_ = message + position_suffix(tokens_.source(), offset);
  return false;
}

bool Cursor::fail_here(std::string message) {
  const std::size_t last = taken().end == 0 ? 0 : taken().end - 1;
  return fail_at(last, std::move(message));
}

bool Cursor::fail_trailing() { return fail_at(start_of_next(), "trailing characters"); }

bool Cursor::invalid_type(const Token& found, Expecting expected) {
  if (found.kind == Tok::NegativeInteger && !std::isfinite(found.d)) return fail_out_of_range();
  return fail_here(cat("invalid type: ", describe(found), ", expected ", expected()));
}

// A negative integer is quoted as written, however long.
bool Cursor::invalid_value(const Token& found, Expecting expected) {
  const std::string what = found.kind == Tok::NegativeInteger ? cat("integer `", number_text_, "`") : describe(found);
  return fail_here(cat("invalid value: ", what, ", expected ", expected()));
}

std::string Cursor::describe(const Token& t) const {
  switch (t.kind) {
    case Tok::Null: return "null";
    case Tok::False: return "boolean `false`";
    case Tok::True: return "boolean `true`";
    case Tok::U64: return cat("integer `", t.u, "`");
    case Tok::I64: return cat("integer `", t.i, "`");
    case Tok::F64:
    case Tok::NegativeInteger: return cat("floating point `", fixed_notation(t.d), "`");
    case Tok::String: return cat("string ", quoted(tokens_.text(t)));
    case Tok::BeginArray: return "sequence";
    case Tok::BeginObject: return "map";
    default: return "unexpected token";
  }
}

std::size_t Cursor::start_of_next() const {
  const std::string_view s = tokens_.source();
  std::size_t o = skip_json_space(s, taken().end);
  if (o < s.size() && (s[o] == ',' || s[o] == ':')) o = skip_json_space(s, o + 1);
  return o;
}

}  // namespace qsdk::core::json
