#include "json/transcribe.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

namespace qsdk::core::json {

// A name that is a view into the source lasts, and needs no escaping; an
// unescaped one is copied.
void MemberOrder::begin(std::string_view name, bool in_source) {
  if (count_ == capacity_) grow();
  Member& m = at(count_);
  m.text.start = w_.size() + (count_ != 0 ? 1 : 0);
  ++count_;
  const std::string_view lasting = in_source ? name : names_.emplace_front(name);
  m.name_data = lasting.data();
  m.name_size = lasting.size();
  if (count_ > 1 && compare_names(at(count_ - 2).name(), lasting) >= 0) in_order_ = false;  // out of order, or repeated
  const bool comma = count_ > 1;
  if (in_source) {
    w_.put_plain_string(name, comma ? ',' : 0, ':');
    return;
  }
  if (comma) w_.put(',');
  write_string(w_, name);
  w_.put(':');
}

void MemberOrder::grow() {
  if (members_ == inline_) overflow_.assign(inline_, inline_ + count_);
  overflow_.resize(2 * count_);
  members_ = overflow_.data();
  capacity_ = overflow_.size();
}

// Members in order of their names, a repeated name keeping only its last
// occurrence.
void MemberOrder::rearrange() {
  // Indices into the members, inline for objects of the usual size, which
  // an insertion sort puts in order with the fewest steps. Inserted in
  // document order, each stops after any member of the same name, so that
  // the last of a repeated name comes last.
  std::size_t inline_order[kInline];
  std::vector<std::size_t> large_order;
  std::span<std::size_t> order(inline_order, count_);
  bool repeated = false;  // whether two members had the same name
  if (count_ > kInline) {
    large_order.resize(count_);
    order = large_order;
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [this, &repeated](std::size_t a, std::size_t b) {
      const int by_name = compare_names(at(a).name(), at(b).name());
      repeated = repeated || by_name == 0;
      return by_name < 0;
    });
  } else {
    for (std::size_t i = 0; i < count_; ++i) {
      const std::string_view name = at(i).name();
      std::size_t j = i;
      for (; j > 0; --j) {
        const int by_name = compare_names(name, at(order[j - 1]).name());
        if (by_name >= 0) {
          repeated = repeated || by_name == 0;
          break;
        }
        order[j] = order[j - 1];
      }
      order[j] = i;
    }
  }

  // A comparison sort has compared every pair that ends up side by side, so
  // it has seen any repeated name; only the last of each is kept.
  std::size_t kept = count_;
  if (repeated) {
    kept = 0;
    for (std::size_t k = 0; k < count_; ++k)
      if (k + 1 == count_ || compare_names(at(order[k]).name(), at(order[k + 1]).name()) != 0)
        order[kept++] = order[k];
  }
  rewrite_members(w_, body_, kept, [&](std::size_t k) { return at(order[k]).text; });
}

namespace {

bool transcribe_raw(Cursor& c, Writer& w, const Token& t);

// Inside a container the tokens are taken as the tokeniser gives them: it
// hands out nothing there but what the grammar allows, or a failure.

// The members of an object whose opening brace was just taken.
bool transcribe_object_body(Cursor& c, Writer& w) {
  MemberOrder members(w);
  for (;;) {
    const Token& name = c.take_raw();
    if (name.kind != Tok::Key) {
      if (name.kind != Tok::EndObject) return c.fail_raw(name);
      members.close();
      return true;
    }
    members.begin(c.text(name), (name.flags & kInSource) != 0);
    if (!transcribe_raw(c, w, c.take_raw())) return false;
    members.end();
  }
}

// The elements of an array whose opening bracket was just taken.
bool transcribe_array_body(Cursor& c, Writer& w) {
  w.put('[');
  bool first = true;
  for (const Token* t = &c.take_raw(); t->kind != Tok::EndArray; t = &c.take_raw()) {
    if (!first) w.put(',');
    first = false;
    if (!transcribe_raw(c, w, *t)) return false;
  }
  w.put(']');
  return true;
}

// A number the cursor converted because its spelling is not canonical.
bool transcribe_converted(Cursor& c, Writer& w, const Token& t) {
  switch (t.kind) {
    case Tok::U64:
    case Tok::I64: w.put(c.number_spelling()); return true;  // an integer's JSON spelling is its canonical form
    case Tok::NegativeInteger:
      if (!std::isfinite(t.d)) return c.fail_out_of_range();
      write_number(w, t.d);
      return true;
    case Tok::F64: write_number(w, t.d); return true;
    default: return c.fail_raw(t);
  }
}

// A value whose first token was just taken, as the tokeniser gave it; the
// token is read before the cursor moves on.
bool transcribe_raw(Cursor& c, Writer& w, const Token& t) {
  switch (t.kind) {
    case Tok::String: write_taken_text(c, w, t); return true;
    case Tok::U64: w.put(c.spelling(t)); return true;  // an integer's JSON spelling is its canonical form
    case Tok::Number: {
      // A decimal already in its canonical form, which always fits a
      // double, is written as it stands without being converted.
      const std::string_view spelling = c.spelling(t);
      if (spelled_as_written(spelling)) {
        w.put(spelling);
        return true;
      }
      const Token* converted = c.convert_number();
      return converted != nullptr && transcribe_converted(c, w, *converted);
    }
    case Tok::BeginObject: return transcribe_object_body(c, w);
    case Tok::BeginArray: return transcribe_array_body(c, w);
    case Tok::Null: w.put("null"); return true;
    case Tok::False: w.put("false"); return true;
    case Tok::True: w.put("true"); return true;
    default: return c.fail_raw(t);
  }
}

}  // namespace

bool transcribe_value(Cursor& c, Writer& w) {
  const Token* t = c.begin_value_as_written();
  return t != nullptr && transcribe_raw(c, w, *t);
}

bool transcribe_object(Cursor& c, Writer& w, Cursor::Expecting expecting) {
  if (c.peek().kind == Tok::BeginObject) {
    c.take_raw();
    return transcribe_object_body(c, w);
  }
  const Token* t = c.begin_value();
  return t != nullptr && c.invalid_type(*t, expecting);
}

}  // namespace qsdk::core::json
