#include "json/transcribe.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

namespace qsdk::core::json {

MemberOrder::MemberOrder(Writer& w) : w_(w) {
  w_.put('{');
  body_ = w_.size();
}

MemberOrder::Member& MemberOrder::open_member() {
  if (count_ >= kInline) overflow_.emplace_back();
  Member& m = at(count_);
  m.separator = w_.size();
  if (count_ != 0) w_.put(',');
  m.start = w_.size();
  m.position = count_++;
  return m;
}

void MemberOrder::begin(std::size_t position, std::string_view name) {
  Member& m = open_member();
  m.position = position;
  w_.put('"');
  w_.put(name);  // record member names are plain, checked where they are declared
  w_.put("\":");
}

// A name that is a view into the source lasts; an unescaped one is copied.
void MemberOrder::begin(const Cursor& c, const Token& name) {
  by_name_ = true;
  Member& m = open_member();
  const std::string_view text = c.text(name);
  m.name = (name.flags & kInSource) != 0 ? text : names_.emplace_front(text);
  write_taken_text(c, w_, name);
  w_.put(':');
}

void MemberOrder::end() { at(count_ - 1).end = w_.size(); }

void MemberOrder::drop() {
  w_.truncate(at(--count_).separator);
  if (count_ >= kInline) overflow_.pop_back();
}

void MemberOrder::close() {
  rearrange();
  w_.put('}');
}

// Members in canonical order, a repeated name keeping only its last
// occurrence; when that is the order they came in, the text already stands.
void MemberOrder::rearrange() {
  const auto before = [this](std::size_t a, std::size_t b) {
    const Member &x = at(a), &y = at(b);
    if (by_name_ && x.name != y.name) return x.name < y.name;
    return x.position < y.position;
  };
  bool sorted = true;
  for (std::size_t i = 1; i < count_ && sorted; ++i)
    sorted = before(i - 1, i) && (!by_name_ || at(i - 1).name != at(i).name);
  if (sorted) return;

  // Indices into the members, inline for objects of the usual size.
  std::size_t inline_order[kInline];
  std::vector<std::size_t> large_order;
  std::span<std::size_t> order(inline_order, count_);
  if (count_ > kInline) {
    large_order.resize(count_);
    order = large_order;
  }
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), before);
  if (by_name_) {
    const auto same_as_next = [this, &order](std::size_t k) {
      return k + 1 < order.size() && at(order[k]).name == at(order[k + 1]).name;
    };
    std::size_t kept = 0;
    for (std::size_t k = 0; k < order.size(); ++k)
      if (!same_as_next(k)) order[kept++] = order[k];
    order = order.first(kept);
  }

  // The members are copied aside (on the stack when the object is small)
  // and written again in order.
  const std::size_t body_size = w_.size() - body_;
  char small_body[kSmallBody];
  std::string large_body;
  char* body = small_body;
  if (body_size > kSmallBody) {
    large_body.resize(body_size);
    body = large_body.data();
  }
  w_.copy_since(body_, body);
  w_.truncate(body_);
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k != 0) w_.put(',');
    const Member& m = at(order[k]);
    w_.put(std::string_view(body + (m.start - body_), m.end - m.start));
  }
}

namespace {

bool transcribe_members(Cursor& c, Writer& w) {
  MemberOrder members(w);
  for (;;) {
    std::string_view name;
    switch (c.next_member(name)) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed: members.close(); return true;
      case Cursor::Step::Item: break;
    }
    members.begin(c, c.taken());
    if (!transcribe_value(c, w)) return false;
    members.end();
  }
}

// A value whose first token was just taken; the token is read before the
// cursor moves on.
bool transcribe_taken(Cursor& c, Writer& w, const Token& t) {
  switch (t.kind) {
    case Tok::Null: w.put("null"); return true;
    case Tok::False: w.put("false"); return true;
    case Tok::True: w.put("true"); return true;
    case Tok::U64:
    case Tok::I64: w.put(c.number_spelling()); return true;  // an integer's JSON spelling is its canonical form
    case Tok::NegativeInteger:
      if (!std::isfinite(t.d)) return c.fail_out_of_range();
      write_number(w, t.d);
      return true;
    case Tok::F64:
      if (spelled_as_written(c.number_spelling())) w.put(c.number_spelling());
      else write_number(w, t.d);
      return true;
    case Tok::String: write_taken_text(c, w, t); return true;
    case Tok::BeginArray: return transcribe_elements(c, w, transcribe_value);
    case Tok::BeginObject: return transcribe_members(c, w);
    default: return c.fail_at(t.end, "expected value");
  }
}

}  // namespace

bool transcribe_value(Cursor& c, Writer& w) {
  const Token* t = c.begin_value();
  return t != nullptr && transcribe_taken(c, w, *t);
}

bool transcribe_object(Cursor& c, Writer& w, std::string_view expecting) {
  const Token* t = c.begin_value();
  if (t == nullptr) return false;
  if (t->kind != Tok::BeginObject) return c.invalid_type(*t, expecting);
  return transcribe_members(c, w);
}

}  // namespace qsdk::core::json
