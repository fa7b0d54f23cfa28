// Transcribing: reading a value off a cursor and writing its canonical form
// in the same pass, without ever holding the value. What is read, and every
// failure with its position, is exactly what decoding the value would give;
// what is written is exactly what writing the decoded value would give.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/cursor.hpp"
#include "json/writer.hpp"

namespace qsdk::core::json {

// Byte order of two member names: negative, zero or positive. Names are
// short, and a loop over their bytes beats a call to memcmp.
inline int compare_names(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Where a member's text lies in the writer, from its name (just after its
// comma, if any) to the end of its value.
struct MemberText {
  std::size_t start;
  std::size_t end;
};

// Writes the object body that begins at `body` again: `count` members, the
// k-th being the one `text_of(k)` gives, with commas between them. The body
// is copied aside first, on the stack when it is small.
template <class TextOf>
void rewrite_members(Writer& w, std::size_t body, std::size_t count, TextOf text_of) {
  constexpr std::size_t kSmallBody = 512;
  const std::string_view written = w.since(body);
  char small_copy[kSmallBody];
  std::string large_copy;
  char* copy = small_copy;
  if (written.size() > kSmallBody) {
    large_copy.resize(written.size());
    copy = large_copy.data();
  }
  std::memcpy(copy, written.data(), written.size());
  // In place: the members left take no more room than the body did.
  char* const start = w.overwrite(body);
  char* to = start;
  for (std::size_t k = 0; k < count; ++k) {
    if (k != 0) *to++ = ',';
    const MemberText m = text_of(k);
    copy_short(to, copy + (m.start - body), m.end - m.start);
    to += m.end - m.start;
  }
  w.truncate(body + static_cast<std::size_t>(to - start));
}

// The members of an object arrive in document order and are written as they
// come; when the object closes they are put in canonical order, which costs
// a copy of the object only if they arrived out of order.
class ObjectBody {
 public:
  ObjectBody(const ObjectBody&) = delete;
  ObjectBody& operator=(const ObjectBody&) = delete;

 protected:
  // Writes the opening brace.
  explicit ObjectBody(Writer& w) : w_(w) {
    w_.put('{');
    body_ = w_.size();
  }
  ~ObjectBody() = default;

  Writer& w_;
  std::size_t body_;  // just past the opening brace
};

// A generic object's members, ordered by name (byte order); a repeated name
// keeps its last value.
class MemberOrder : public ObjectBody {
 public:
  explicit MemberOrder(Writer& w) : ObjectBody(w) {}

  // Starts a member whose name the cursor just took, as a view into the
  // source text or else unescaped.
  void begin(std::string_view name, bool in_source);
  // Ends the member just begun.
  void end() { at(count_ - 1).text.end = w_.size(); }
  // Puts the members in order and writes the closing brace.
  void close() {
    if (!in_order_) rearrange();
    w_.put('}');
  }

 private:
  // Left uninitialised until used: an object is opened for every one read,
  // and most have a few members.
  struct Member {
    MemberText text;
    // The name unescaped, for sorting (a string_view would be initialised
    // with every object opened).
    const char* name_data;
    std::size_t name_size;
    std::string_view name() const noexcept { return std::string_view(name_data, name_size); }
  };
  void rearrange();
  // Beyond the inline members, the list moves to the heap and doubles.
  void grow();
  Member& at(std::size_t i) noexcept { return members_[i]; }
  const Member& at(std::size_t i) const noexcept { return members_[i]; }

  static constexpr std::size_t kInline = 12;
  // Whether every name so far came after the one before it; when one did
  // not (or repeated it), close() sorts them.
  bool in_order_ = true;
  std::size_t count_ = 0;
  Member inline_[kInline];
  std::vector<Member> overflow_;  // every member, once there are more than kInline
  Member* members_ = inline_;
  std::size_t capacity_ = kInline;
  std::forward_list<std::string> names_;  // names that do not last on their own
};

// A record's members, of which there are at most `kCount` (a repeated one is
// refused before it is written), written as they come and put in declared
// order when the object closes.
template <std::size_t kCount>
class RecordMembers : public ObjectBody {
 public:
  explicit RecordMembers(Writer& w) : ObjectBody(w) {}

  // Starts the member declared at `position`, given as written after a
  // comma: `,"name":`.
  [[gnu::always_inline]] void begin(std::size_t position, std::string_view comma_name_colon) {
    const bool first = count_ == 0;
    text_[count_].start = w_.size() + (first ? 0 : 1);
    positions_[count_] = position;
    if (!first && position < positions_[count_ - 1]) in_order_ = false;
    w_.put(first ? std::string_view(comma_name_colon.data() + 1, comma_name_colon.size() - 1) : comma_name_colon);
    ++count_;
  }
  // Ends the member just begun, or takes it back out (an absent optional).
  void end() { text_[count_ - 1].end = w_.size(); }
  void drop() {
    const std::size_t start = text_[--count_].start;
    w_.truncate(count_ == 0 ? start : start - 1);  // with its comma, if it had one
  }
  // Puts the members in order and writes the closing brace.
  void close() {
    if (!in_order_) rearrange();
    w_.put('}');
  }

 private:
  void rearrange() {
    std::array<MemberText, kCount> sorted;
    std::array<std::size_t, kCount> sorted_positions;
    for (std::size_t i = 0; i < count_; ++i) {
      std::size_t j = i;
      for (; j > 0 && positions_[i] < sorted_positions[j - 1]; --j) {
        sorted[j] = sorted[j - 1];
        sorted_positions[j] = sorted_positions[j - 1];
      }
      sorted[j] = text_[i];
      sorted_positions[j] = positions_[i];
    }
    rewrite_members(w_, body_, count_, [&](std::size_t k) { return sorted[k]; });
  }

  std::size_t count_ = 0;
  bool in_order_ = true;  // whether each member so far was declared after the one before it
  // Left uninitialised until used.
  std::array<MemberText, kCount> text_;
  std::array<std::size_t, kCount> positions_;
};

// A String or Key token just taken, as a string literal. A text that is a
// view into the source holds no quote, backslash or control character (those
// only come escaped), so it is written as it stands.
inline void write_taken_text(const Cursor& c, Writer& w, const Token& t) {
  if ((t.flags & kInSource) == 0) {
    write_string(w, c.text(t));
    return;
  }
  w.put_plain_string(c.text(t));
}

// The rest of an array whose opening bracket was just taken, each element
// read and written by `element(c, w)`.
template <class Element>
bool transcribe_elements(Cursor& c, Writer& w, Element&& element) {
  w.put('[');
  for (bool first = true;; first = false) {
    switch (c.next_element()) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed: w.put(']'); return true;
      case Cursor::Step::Item: break;
    }
    if (!first) w.put(',');
    if (!element(c, w)) return false;
  }
}

// Any JSON value, written canonically: objects sorted by member name, a
// repeated name keeping its last value, numbers in their canonical form.
bool transcribe_value(Cursor& c, Writer& w);
// Likewise, refusing anything but an object with what `expecting()` says,
// asked only then.
bool transcribe_object(Cursor& c, Writer& w, Cursor::Expecting expecting);

}  // namespace qsdk::core::json
