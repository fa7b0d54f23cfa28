// Typed decoding and writing of records, with the messages hosts see.
//
// A record type becomes readable and writable by declaring its members once:
//
//   template <> struct json::Record<Grant> {
//     static constexpr std::string_view name = "Grant";
//     static constexpr auto fields = std::tuple{json::field("res", &Grant::res), ...};
//   };
//
// after which json::parse_as<Grant>(text) and json::to_text(grant) work, as do
// lists, optionals and nested records of it; json::canonical_text<Grant>(text)
// gives the canonical text of what parse_as would read, without building it.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/text.hpp"
#include "json/cursor.hpp"
#include "json/transcribe.hpp"
#include "json/value.hpp"
#include "json/writer.hpp"

namespace qsdk::core::json {

//
// Codec<T> reads a T from a cursor and writes it canonically. It exists for
// text, u64, bool, optionals (null or missing is absent), lists, generic
// objects and values, and every type with a Record declaration. A custom
// codec (for a member with its own text form) provides the same two
// functions and is named in the member's field declaration.
//
// A codec may also transcribe: read a value and write its canonical form in
// one pass, failing exactly where decode fails and writing exactly what
// encode would write. Where a codec does not, transcribing decodes and
// encodes.

template <class T>
struct Codec;

template <class C, class M>
bool decode_then_encode(Cursor& c, Writer& w) {
  M value{};
  if (!C::decode(c, value)) return false;
  C::encode(w, value);
  return true;
}

template <class C, class M>
bool transcribe_with(Cursor& c, Writer& w) {
  if constexpr (requires { C::transcribe(c, w); }) return C::transcribe(c, w);
  else return decode_then_encode<C, M>(c, w);
}

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
    if (t->kind != Tok::String) return c.invalid_type(*t, expecting);
    out.assign(c.text(*t));
    return true;
  }
  static void encode(Writer& w, const std::string& v) { write_string(w, v); }
  static bool transcribe(Cursor& c, Writer& w) {
    if (c.peek().kind == Tok::String) {
      write_taken_text(c, w, c.take_raw());
      return true;
    }
    std::string ignored;
    return decode(c, ignored);  // fails, as it reads no string
  }
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
    // Every negative integer is a value outside the type, however long.
    if (t->kind == Tok::I64 || t->kind == Tok::NegativeInteger) return c.invalid_value(*t, expecting);
    return c.invalid_type(*t, expecting);
  }
  static void encode(Writer& w, std::uint64_t v) { write_number(w, v); }
  static bool transcribe(Cursor& c, Writer& w) {
    // An integer's JSON spelling is its canonical form.
    if (c.peek().kind == Tok::U64) {
      w.put(c.spelling(c.take_raw()));
      return true;
    }
    std::uint64_t ignored = 0;  // one of 20 digits, or a failure
    if (!decode(c, ignored)) return false;
    w.put(c.number_spelling());
    return true;
  }
};

template <>
struct Codec<bool> {
  static std::string expecting() { return "a boolean"; }
  static bool decode(Cursor& c, bool& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::True && t->kind != Tok::False) return c.invalid_type(*t, expecting);
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
    else w.put(kDefaultText);
  }
  static constexpr std::string_view kDefaultText = "null";  // absent
  static bool transcribe(Cursor& c, Writer& w) {
    if (c.peek().kind == Tok::Null) {
      c.begin_value();
      w.put(kDefaultText);
      return true;
    }
    return transcribe_with<Codec<T>, T>(c, w);
  }
};

template <class T>
struct Codec<std::vector<T>> {
  static std::string expecting() { return "a sequence"; }
  static bool decode(Cursor& c, std::vector<T>& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::BeginArray) return c.invalid_type(*t, expecting);
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
  static bool transcribe(Cursor& c, Writer& w) {
    if (c.peek().kind != Tok::BeginArray) {
      std::vector<T> ignored;
      return decode(c, ignored);  // fails, as it reads no list
    }
    c.take_raw();
    // Each element through a lambda, which the compiler can inline, rather
    // than through a pointer to the element's function.
    const auto element = [](Cursor& cursor, Writer& writer) { return transcribe_with<Codec<T>, T>(cursor, writer); };
    return transcribe_elements(c, w, element);
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
  static bool transcribe(Cursor& c, Writer& w) { return transcribe_value(c, w); }
};

template <>
struct Codec<Object> {
  static std::string expecting() { return "a map"; }
  static bool decode(Cursor& c, Object& out) {
    const Token* t = c.begin_value();
    if (t == nullptr) return false;
    if (t->kind != Tok::BeginObject) return c.invalid_type(*t, expecting);
    Value v;
    if (!c.build(*t, v)) return false;
    out = std::move(std::get<Object>(v.v));
    return true;
  }
  static void encode(Writer& w, const Object& v) { write(w, v); }
  static bool transcribe(Cursor& c, Writer& w) { return transcribe_object(c, w, expecting); }
};

namespace detail {

constexpr bool plain_name(std::string_view name) {
  return std::ranges::none_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\'; });
}

inline bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && compare_names(a, b) == 0;
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
    return c.invalid_type(*t, expecting);
  }

  static void encode(Writer& w, const T& v) {
    w.put('{');
    bool first = true;
    std::apply([&](const auto&... f) { (encode_field(w, v, f, first), ...); }, fields);
    w.put('}');
  }

  // The object form member by member; the positional form, which is rare,
  // and every failure at the first token, through the record itself.
  static bool transcribe(Cursor& c, Writer& w) {
    if (c.peek().kind != Tok::BeginObject) return decode_then_encode<Codec<T>, T>(c, w);
    c.take_raw();
    RecordMembers<kCount> members(w);
    const bool read = read_members(c, [&](std::size_t index) {
      return transcribe_at(c, w, members, index, std::make_index_sequence<kCount>{});
    });
    if (read) members.close();
    return read;
  }

 private:
  static constexpr auto names() {
    return std::apply([](const auto&... f) { return std::array<std::string_view, kCount>{f.name...}; }, fields);
  }
  // Sets of members, a bit for each in declaration order.
  using MemberSet = std::uint64_t;
  static_assert(kCount <= 64, "a record has at most 64 members");
  static constexpr MemberSet required() {
    return std::apply([](const auto&... f) {
      MemberSet set = 0;
      std::size_t i = 0;
      ((set |= MemberSet{f.required} << i++), ...);
      return set;
    }, fields);
  }
  static constexpr auto kNames = names();
  static constexpr MemberSet kRequired = required();
  static_assert(std::ranges::all_of(kNames, detail::plain_name), "member names are written without escaping");

  // Each member's name as it is written after a comma, `,"name":`, and as
  // it is read when it stands plain in compact text.
  static constexpr std::size_t kLongestName = std::ranges::max(kNames, {}, &std::string_view::size).size();
  static_assert(kLongestName + 4 <= WrittenName::kCapacity, "member names are short");
  static constexpr auto written_names() {
    std::array<WrittenName, kCount> out{};
    for (std::size_t i = 0; i < kCount; ++i) {
      WrittenName& w = out[i];
      w.text[w.size++] = ',';
      w.text[w.size++] = '"';
      for (const char c : kNames[i]) w.text[w.size++] = c;
      w.text[w.size++] = '"';
      w.text[w.size++] = ':';
    }
    return out;
  }
  static constexpr auto kWrittenNames = written_names();
  static bool decode_members(Cursor& c, T& out) {
    return read_members(c, [&](std::size_t index) {
      return decode_at(c, out, index, std::make_index_sequence<kCount>{});
    });
  }

  // Walks an object's members up to its closing brace: unknown ones are
  // skipped, a repeated one refused, and `read(index)` takes the value of
  // each declared one; a required member missing is refused at the brace.
  template <class Read>
  static bool read_members(Cursor& c, Read&& read) {
    MemberSet seen = 0;
    std::size_t expected = 0;  // members mostly come in declared order
    for (;;) {
      std::size_t index = expected;
      if (expected == kCount || !c.next_member_is(kWrittenNames[expected])) {
        std::string_view name;
        switch (c.next_member(name)) {
          case Cursor::Step::Failed: return false;
          case Cursor::Step::Closed: return check_required(c, seen);
          case Cursor::Step::Item: break;
        }
        index = index_of(name, expected);
        if (index == kCount) {
          if (!c.skip_value()) return false;
          continue;
        }
      }
      const MemberSet member = MemberSet{1} << index;
      if ((seen & member) != 0) return c.fail_here(cat("duplicate field `", kNames[index], "`"));
      seen |= member;
      expected = index + 1;
      if (!read(index)) return false;
    }
  }

  // The declared member called `name`, looked for first at `expected`; kCount
  // when there is none.
  static std::size_t index_of(std::string_view name, std::size_t expected) {
    if (expected < kCount && detail::same_name(kNames[expected], name)) return expected;
    std::size_t index = 0;
    while (index < kCount && !detail::same_name(kNames[index], name)) ++index;
    return index;
  }

  template <std::size_t... I>
  static bool transcribe_at(Cursor& c, Writer& w, RecordMembers<kCount>& members, std::size_t index,
                            std::index_sequence<I...>) {
    bool ok = false;
    (void)((index == I && (ok = transcribe_field(c, w, members, I, std::get<I>(fields)), true)) || ...);
    return ok;
  }

  // A member that may be absent is left out when it was written as its
  // default would be, as encode leaves out a member equal to its default.
  template <class F>
  static bool transcribe_field(Cursor& c, Writer& w, RecordMembers<kCount>& members, std::size_t index, const F& f) {
    members.begin(index, kWrittenNames[index].view());
    const std::size_t value = w.size();
    if (!transcribe_with<typename F::Codec, typename F::Member>(c, w)) return false;
    if (!f.required && written_as_default<F>(w, value)) members.drop();
    else members.end();
    return true;
  }

  template <class F>
  static bool written_as_default(const Writer& w, std::size_t value) {
    // A codec may name what it writes for the default, sparing the encoding.
    if constexpr (requires { F::Codec::kDefaultText; }) return w.since(value) == F::Codec::kDefaultText;
    std::string default_text;  // short: 0, "" or the like
    {
      Writer dw(default_text);
      F::Codec::encode(dw, typename F::Member{});
    }
    return w.since(value) == default_text;
  }

  template <std::size_t... I>
  static bool decode_at(Cursor& c, T& out, std::size_t index, std::index_sequence<I...>) {
    bool ok = false;
    (void)((index == I && (ok = decode_field(c, out, std::get<I>(fields)), true)) || ...);
    return ok;
  }

  // Reported at the closing brace, in declaration order.
  static bool check_required(Cursor& c, MemberSet seen) {
    const MemberSet missing = kRequired & ~seen;
    if (missing == 0) return true;
    return c.fail_here(cat("missing field `", kNames[static_cast<std::size_t>(std::countr_zero(missing))], "`"));
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
  Cursor c(text);
  T out{};
  if (Codec<T>::decode(c, out) && c.finish()) return out;
  return std::unexpected(c.error());
}

inline Parsed<Value> parse(std::string_view text) { return parse_as<Value>(text); }

// The canonical text of the T in `text`: to_text(*parse_as<T>(text)), or its
// failure, in one pass and without holding the T.
template <class T>
Parsed<std::string> canonical_text(std::string_view text) {
  Cursor c(text);
  std::string out;
  out.reserve(text.size());  // canonical texts are seldom longer
  bool ok = false;
  {
    Writer w(out);
    ok = transcribe_with<Codec<T>, T>(c, w) && c.finish();
  }
  if (ok) return out;
  return std::unexpected(c.error());
}

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
