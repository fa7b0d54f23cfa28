// The one JSON layer of the library: a generic value model, a tokeniser with
// positioned errors, typed decoding of records with the messages hosts see,
// and the canonical compact writer.
//
// Every text is read in two steps. RapidJSON's SAX reader turns the text into
// a flat tape of tokens (iteratively, so hostile nesting cannot exhaust the
// stack; nesting deeper than 127 levels ends the tape with a failure). A
// decoder then walks the tape. A syntax failure is recorded as the tape's last
// token, so a decoder that meets a wrong type before it reports that instead:
// the first fault in document order wins.
//
// A record type becomes readable and writable by declaring its members once:
//
//   template <> struct json::Record<Grant> {
//     static constexpr std::string_view name = "Grant";
//     static constexpr auto fields = std::tuple{json::field("res", &Grant::res), ...};
//   };
//
// after which json::parse_as<Grant>(text) and json::to_text(grant) work, as do
// lists, optionals and nested records of it.
#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <expected>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/text.hpp"

namespace qsdk::core::json {

// ---------------------------------------------------------------------------
// Value model

struct Value;
using Array = std::vector<Value>;

// An object's members, kept sorted by name in byte order (the order the
// canonical form requires), each name once. Stored flat: objects are small,
// and one allocation per object beats one per member.
class Object {
 public:
  using value_type = std::pair<std::string, Value>;
  using iterator = std::vector<value_type>::iterator;  // names must not be changed through it
  using const_iterator = std::vector<value_type>::const_iterator;

  Object() noexcept = default;
  Object(std::initializer_list<value_type> members);

  iterator begin() noexcept;
  iterator end() noexcept;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
  std::size_t size() const noexcept;
  bool empty() const noexcept;
  void clear() noexcept;

  const_iterator find(std::string_view name) const noexcept;
  // Sets a member; an existing value of that name is replaced.
  Value& insert_or_assign(std::string name, Value value);

  // Bulk building: members appended in document order, then settle() sorts
  // them and keeps the last value of a repeated name.
  void reserve(std::size_t n);
  Value& append(std::string name);
  void settle();

  bool operator==(const Object& other) const;

 private:
  std::vector<value_type> members_;
};

struct Value {
  using Storage = std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object>;
  Storage v = nullptr;

  Value() noexcept = default;
  Value(std::nullptr_t) noexcept {}
  Value(bool b) noexcept : v(std::in_place_type<bool>, b) {}
  // Integers take the form the parser gives them: non-negative ones are
  // unsigned, negative ones signed.
  template <std::integral I>
    requires(!std::same_as<I, bool>)
  Value(I i) noexcept {
    if constexpr (std::is_signed_v<I>) {
      if (i < 0) {
        v.emplace<std::int64_t>(i);
        return;
      }
    }
    v.emplace<std::uint64_t>(static_cast<std::uint64_t>(i));
  }
  Value(double d) noexcept : v(std::in_place_type<double>, d) {}
  Value(std::string s) noexcept : v(std::in_place_type<std::string>, std::move(s)) {}
  Value(std::string_view s) : v(std::in_place_type<std::string>, s) {}
  Value(const char* s) : v(std::in_place_type<std::string>, s) {}
  Value(Array a) noexcept : v(std::in_place_type<Array>, std::move(a)) {}
  Value(Object o) noexcept : v(std::in_place_type<Object>, std::move(o)) {}

  Value(const Value&) = default;
  Value(Value&&) noexcept = default;
  Value& operator=(const Value&) = default;
  Value& operator=(Value&&) noexcept = default;
  // Releases nested containers without recursion, however deep the value.
  ~Value();

  bool operator==(const Value&) const = default;

  bool is_null() const noexcept { return std::holds_alternative<std::nullptr_t>(v); }
  const std::string* as_string() const noexcept { return std::get_if<std::string>(&v); }
  const std::uint64_t* as_u64() const noexcept { return std::get_if<std::uint64_t>(&v); }
  const Array* as_array() const noexcept { return std::get_if<Array>(&v); }
  const Object* as_object() const noexcept { return std::get_if<Object>(&v); }
  // The member `name` of an object; nullptr when absent or when this value is
  // not an object.
  const Value* member(std::string_view name) const noexcept;

 private:
  bool has_nested_container() const noexcept;
  void dismantle() noexcept;
};

inline Object::iterator Object::begin() noexcept { return members_.begin(); }
inline Object::iterator Object::end() noexcept { return members_.end(); }
inline Object::const_iterator Object::begin() const noexcept { return members_.begin(); }
inline Object::const_iterator Object::end() const noexcept { return members_.end(); }
inline std::size_t Object::size() const noexcept { return members_.size(); }
inline bool Object::empty() const noexcept { return members_.empty(); }
inline void Object::clear() noexcept { members_.clear(); }
inline void Object::reserve(std::size_t n) { members_.reserve(n); }
inline Value& Object::append(std::string name) { return members_.emplace_back(std::move(name), Value{}).second; }
inline bool Object::operator==(const Object& other) const { return members_ == other.members_; }

// ---------------------------------------------------------------------------
// Canonical writing: compact, minimal escaping, shortest round-trip doubles.
// Writing cannot fail.

// Collects small pieces in a local block and appends them to the target in
// large ones: the canonical form is written a few bytes at a time.
class Writer {
 public:
  explicit Writer(std::string& out) noexcept : out_(out) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { flush(); }

  void put(char c) {
    if (used_ == kBlock) flush();
    block_[used_++] = c;
  }
  void put(std::string_view s) {
    if (s.size() > kBlock - used_) {
      flush();
      if (s.size() > kBlock) {
        out_.append(s);
        return;
      }
    }
    std::memcpy(block_ + used_, s.data(), s.size());
    used_ += s.size();
  }
  void flush() {
    out_.append(block_, used_);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kBlock = 1024;
  std::string& out_;
  std::size_t used_ = 0;
  char block_[kBlock];
};

void write_string(Writer& w, std::string_view s);
void write_number(Writer& w, std::uint64_t n);
void write_number(Writer& w, std::int64_t n);
// Shortest digits that read back to the same double, laid out in fixed
// notation for 1e-5 <= |d| < 1e16 (always with a fractional digit) and in
// exponent notation otherwise: 1.5, 100.0, 1e16, 1.5e-7, -0.0.
void write_number(Writer& w, double d);
void write(Writer& w, const Value& value);
void write(Writer& w, const Object& object);

// ---------------------------------------------------------------------------
// Tokens

enum class Tok : std::uint8_t {
  Null, False, True, U64, I64, F64, String, Key,
  BeginObject, EndObject, BeginArray, EndArray,
  End,   // the text ended cleanly after the root value
  Fail,  // the text fails here; the tape's failure says why
};

// Offsets and lengths are 32-bit, which keeps a token at 16 bytes; texts of
// 4 GiB or more are refused before tokenising.
struct Token {
  Tok kind = Tok::End;
  std::uint32_t end = 0;  // offset just past the token; for Fail, the failure's offset
  union {
    std::uint64_t u;
    std::int64_t i;
    double d;
    struct {
      std::uint32_t offset;  // in the tape's store of decoded texts
      std::uint32_t length;
    } text;  // String, Key
    struct {
      std::uint32_t count;  // elements or members
      std::uint32_t close;  // index of the matching End token
    } container;  // BeginObject, BeginArray
  };
  Token() : u(0) {}
};
static_assert(sizeof(Token) == 16);

inline constexpr std::size_t kMaxTextSize = 0xffff'fffe;

// The whole text as tokens. Construction never fails: a syntax fault, a
// number out of range, too deep a nesting or trailing characters end the tape
// with a Fail token.
class Tape {
 public:
  explicit Tape(std::string_view text);

  std::string_view source() const noexcept { return source_; }
  const Token& operator[](std::size_t i) const noexcept { return tokens_[i]; }
  std::string_view text(const Token& t) const noexcept {
    return std::string_view(strings_).substr(t.text.offset, t.text.length);
  }
  const std::string& failure() const noexcept { return failure_; }

 private:
  friend class TapeBuilder;
  std::string_view source_;
  std::vector<Token> tokens_;
  std::string strings_;
  std::string failure_;
};

// The 128th nested array or object is refused.
inline constexpr std::size_t kMaxDepth = 127;

// " at line {l} column {c}" for a byte offset of `text`, both counted from 1.
std::string position_suffix(std::string_view text, std::size_t offset);

// ---------------------------------------------------------------------------
// Cursor: walks a tape for the decoders and records the first failure with
// its position.

class Cursor {
 public:
  enum class Step { Item, Closed, Failed };

  explicit Cursor(const Tape& tape) noexcept : tape_(tape) {}

  const Token& peek() const noexcept { return tape_[pos_]; }
  std::string_view text(const Token& t) const noexcept { return tape_.text(t); }

  // Consumes the first token of the next value; nullptr after recording the
  // text's own failure when the text fails there.
  const Token* begin_value();
  // Inside an object: consumes the next member's name (Item), or the closing
  // brace (Closed).
  Step next_member(std::string_view& name);
  // Inside an array: reports whether another element follows (Item, nothing
  // consumed) or consumes the closing bracket (Closed).
  Step next_element();
  // Skips one whole value, which must still be well formed.
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

  const Tape& tape_;
  std::size_t pos_ = 0;
  std::string error_;
};

// ---------------------------------------------------------------------------
// Typed decoding and writing
//
// Codec<T> reads a T from a cursor and writes it canonically. It exists for
// text, u64, bool, optionals (null or missing is absent), lists, generic
// objects and values, and every type with a Record declaration. A custom
// codec (for a member with its own text form) provides the same two
// functions and is named in the member's field declaration.

template <class T>
struct Codec;

template <class T>
struct Record;  // specialised per record type: name and fields

template <class T>
concept IsRecord = requires {
  { Record<T>::name } -> std::convertible_to<std::string_view>;
  Record<T>::fields;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// One member of a record: its JSON name, where it lives, whether it must be
// given, and the codec that reads and writes it.
template <class C, class M, class Via>
struct Field {
  using Class = C;
  using Member = M;
  using Codec = Via;
  std::string_view name;
  M C::*member;
  bool required;
};

// A member that must be present, unless it is a std::optional (then missing
// and null are both absent, and absent is left out when writing).
template <class Via = void, class C, class M>
constexpr auto field(std::string_view name, M C::*member) {
  using V = std::conditional_t<std::is_void_v<Via>, Codec<M>, Via>;
  return Field<C, M, V>{name, member, !IsOptional<M>::value};
}

// A member that may be missing, keeping its default; null is refused. Left
// out when writing while it equals its default.
template <class Via = void, class C, class M>
constexpr auto defaulted(std::string_view name, M C::*member) {
  using V = std::conditional_t<std::is_void_v<Via>, Codec<M>, Via>;
  return Field<C, M, V>{name, member, false};
}

template <>
struct Codec<std::string> {
  static std::string expecting() { return "a string"; }
  static bool decode(Cursor& c, std::string& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::String) return c.invalid_type(*t, expecting());
    out.assign(c.text(*t));
    return true;
  }
  static void encode(Writer& w, const std::string& v) { write_string(w, v); }
};

template <>
struct Codec<std::uint64_t> {
  static std::string expecting() { return "u64"; }
  static bool decode(Cursor& c, std::uint64_t& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind == Tok::U64) {
      out = t->u;
      return true;
    }
    if (t->kind == Tok::I64) return c.invalid_value(*t, expecting());
    return c.invalid_type(*t, expecting());
  }
  static void encode(Writer& w, std::uint64_t v) { write_number(w, v); }
};

template <>
struct Codec<bool> {
  static std::string expecting() { return "a boolean"; }
  static bool decode(Cursor& c, bool& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::True && t->kind != Tok::False) return c.invalid_type(*t, expecting());
    out = t->kind == Tok::True;
    return true;
  }
  static void encode(Writer& w, bool v) { w.put(v ? "true" : "false"); }
};

template <class T>
struct Codec<std::optional<T>> {
  static std::string expecting() { return Codec<T>::expecting(); }
  static bool decode(Cursor& c, std::optional<T>& out) {
    if (c.peek().kind == Tok::Null) {
      c.begin_value();
      out.reset();
      return true;
    }
    T value{};
    if (!Codec<T>::decode(c, value)) return false;
    out = std::move(value);
    return true;
  }
  static void encode(Writer& w, const std::optional<T>& v) {
    if (v) Codec<T>::encode(w, *v);
    else w.put("null");
  }
};

template <class T>
struct Codec<std::vector<T>> {
  static std::string expecting() { return "a sequence"; }
  static bool decode(Cursor& c, std::vector<T>& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::BeginArray) return c.invalid_type(*t, expecting());
    out.reserve(out.size() + t->container.count);
    for (;;) {
      switch (c.next_element()) {
        case Cursor::Step::Failed: return false;
        case Cursor::Step::Closed: return true;
        case Cursor::Step::Item: break;
      }
      if (!Codec<T>::decode(c, out.emplace_back())) return false;
    }
  }
  static void encode(Writer& w, const std::vector<T>& v) {
    w.put('[');
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i != 0) w.put(',');
      Codec<T>::encode(w, v[i]);
    }
    w.put(']');
  }
};

// Any JSON value: repeated member names keep the last value.
template <>
struct Codec<Value> {
  static std::string expecting() { return "any valid JSON value"; }
  static bool decode(Cursor& c, Value& out) {
    const Token* t = c.begin_value();
    return t != nullptr && c.build(*t, out);
  }
  static void encode(Writer& w, const Value& v) { write(w, v); }
};

template <>
struct Codec<Object> {
  static std::string expecting() { return "a map"; }
  static bool decode(Cursor& c, Object& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::BeginObject) return c.invalid_type(*t, expecting());
    Value v;
    if (!c.build(*t, v)) return false;
    out = std::move(std::get<Object>(v.v));
    return true;
  }
  static void encode(Writer& w, const Object& v) { write(w, v); }
};

namespace detail {

constexpr bool plain_name(std::string_view name) {
  return std::ranges::none_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\'; });
}

// Member names are short; comparing the first byte before the rest keeps
// the lookup cheap.
inline bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || (a[0] == b[0] && a.compare(b) == 0));
}

template <class M>
bool is_default(const M& v) {
  if constexpr (IsOptional<M>::value) return !v.has_value();
  else return v == M{};
}

}  // namespace detail

// A record reads from an object (members in any order, unknown members
// skipped, duplicates and missing required members refused) or from an array
// of exactly its members' values in declaration order. It writes as an object
// in declaration order, leaving out optional members that are absent.
template <IsRecord T>
struct Codec<T> {
  static constexpr const auto& fields = Record<T>::fields;
  static constexpr std::size_t kCount = std::tuple_size_v<std::remove_cvref_t<decltype(Record<T>::fields)>>;

  static std::string expecting() { return cat("struct ", Record<T>::name); }

  static bool decode(Cursor& c, T& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind == Tok::BeginObject) return decode_members(c, out);
    if (t->kind == Tok::BeginArray) return decode_positional(c, out, std::make_index_sequence<kCount>{});
    return c.invalid_type(*t, expecting());
  }

  static void encode(Writer& w, const T& v) {
    w.put('{');
    bool first = true;
    std::apply([&](const auto&... f) { (encode_field(w, v, f, first), ...); }, fields);
    w.put('}');
  }

 private:
  static constexpr auto names() {
    return std::apply([](const auto&... f) { return std::array<std::string_view, kCount>{f.name...}; }, fields);
  }
  static constexpr auto required() {
    return std::apply([](const auto&... f) { return std::array<bool, kCount>{f.required...}; }, fields);
  }
  static constexpr auto kNames = names();
  static constexpr auto kRequired = required();
  static_assert(std::ranges::all_of(kNames, detail::plain_name), "member names are written without escaping");

  static bool decode_members(Cursor& c, T& out) {
    std::array<bool, kCount> seen{};
    for (;;) {
      std::string_view name;
      switch (c.next_member(name)) {
        case Cursor::Step::Failed: return false;
        case Cursor::Step::Closed: return check_required(c, seen);
        case Cursor::Step::Item: break;
      }
      std::size_t index = 0;
      while (index < kCount && !detail::same_name(kNames[index], name)) ++index;
      if (index == kCount) {
        if (!c.skip_value()) return false;
        continue;
      }
      if (seen[index]) return c.fail_here(cat("duplicate field `", name, "`"));
      seen[index] = true;
      if (!decode_at(c, out, index, std::make_index_sequence<kCount>{})) return false;
    }
  }

  template <std::size_t... I>
  static bool decode_at(Cursor& c, T& out, std::size_t index, std::index_sequence<I...>) {
    bool ok = false;
    (void)((index == I && (ok = decode_field(c, out, std::get<I>(fields)), true)) || ...);
    return ok;
  }

  // Reported at the closing brace, in declaration order.
  static bool check_required(Cursor& c, const std::array<bool, kCount>& seen) {
    for (std::size_t i = 0; i < kCount; ++i)
      if (kRequired[i] && !seen[i]) return c.fail_here(cat("missing field `", kNames[i], "`"));
    return true;
  }

  template <std::size_t... I>
  static bool decode_positional(Cursor& c, T& out, std::index_sequence<I...>) {
    std::size_t count = 0;
    const bool ok = (decode_element(c, out, std::get<I>(fields), count) && ...);
    if (!ok) return false;
    switch (c.next_element()) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed: return true;
      case Cursor::Step::Item: return c.fail_trailing();
    }
    return false;
  }

  template <class F>
  static bool decode_element(Cursor& c, T& out, const F& f, std::size_t& count) {
    switch (c.next_element()) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed:
        return c.fail_here(cat("invalid length ", count, ", expected struct ", Record<T>::name, " with ", kCount,
                               " elements"));
      case Cursor::Step::Item: break;
    }
    ++count;
    return decode_field(c, out, f);
  }

  template <class F>
  static bool decode_field(Cursor& c, T& out, const F& f) {
    return F::Codec::decode(c, out.*(f.member));
  }

  template <class F>
  static void encode_field(Writer& w, const T& v, const F& f, bool& first) {
    const auto& m = v.*(f.member);
    if (!f.required && detail::is_default(m)) return;
    if (!first) w.put(',');
    first = false;
    w.put('"');
    w.put(f.name);  // plain names, checked when the record is declared
    w.put("\":");
    F::Codec::encode(w, m);
  }
};

// ---------------------------------------------------------------------------
// Entry points

// A parse failure's message, ending with " at line {l} column {c}".
template <class T>
using Parsed = std::expected<T, std::string>;

// Reads exactly one T from `text`; only white space may follow it.
template <class T>
Parsed<T> parse_as(std::string_view text) {
  const Tape tape(text);
  Cursor c(tape);
  T out{};
  if (Codec<T>::decode(c, out) && c.finish()) return out;
  return std::unexpected(c.error());
}

inline Parsed<Value> parse(std::string_view text) { return parse_as<Value>(text); }

template <class T>
std::string to_text(const T& v) {
  std::string out;
  {
    Writer w(out);
    Codec<T>::encode(w, v);
  }
  return out;
}

}  // namespace qsdk::core::json
