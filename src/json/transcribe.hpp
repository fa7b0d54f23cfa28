// Transcribing: reading a value off a cursor and writing its canonical form
// in the same pass, without ever holding the value. What is read, and every
// failure with its position, is exactly what decoding the value would give;
// what is written is exactly what writing the decoded value would give.
#pragma once

#include <cstddef>
#include <forward_list>
#include <cstdint>
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

// An object whose members arrive in document order and are written as they
// come; when it closes they are put in canonical order, which costs a copy
// of the object only if they arrived out of order. Records order members by
// their declared position, generic objects by name (byte order), where a
// repeated name keeps its last value.
class MemberOrder {
 public:
  explicit MemberOrder(Writer& w) : w_(w) {
    w_.put('{');
    body_ = w_.size();
  }
  MemberOrder(const MemberOrder&) = delete;
  MemberOrder& operator=(const MemberOrder&) = delete;

  // Starts a member of a record, given as written after a comma: `,"name":`.
  [[gnu::always_inline]] void begin(std::size_t position, std::string_view comma_name_colon) {
    Member& m = open_member();
    m.position = position;
    if (count_ > 1 && position < at(count_ - 2).position) in_order_ = false;
    w_.put(count_ == 1 ? comma_name_colon.substr(1) : comma_name_colon);
  }
  // Starts a member of a generic object whose name the cursor just took,
  // as a view into the source text or else unescaped.
  void begin(std::string_view name, bool in_source);
  // Ends the member just begun, or takes it back out (an absent optional).
  void end() { at(count_ - 1).end = w_.size(); }
  void drop();
  // Puts the members in order and writes the closing brace.
  void close() {
    if (!in_order_) rearrange();
    w_.put('}');
  }

 private:
  // Left uninitialised until used: an object is opened for every record
  // read, and most have a few members.
  struct Member {
    std::size_t start;     // where its name begins, just after its comma if any
    std::size_t end;
    std::size_t position;  // records: the declared position
    // Generic objects: the name unescaped, for sorting (a string_view would
    // be initialised with every object opened).
    const char* name_data;
    std::size_t name_size;
    std::string_view name() const noexcept { return std::string_view(name_data, name_size); }
  };
  // The member's name begins after the comma its caller writes next, if any.
  Member& open_member() {
    if (count_ == capacity_) grow();
    Member& m = at(count_);
    m.start = w_.size() + (count_ != 0 ? 1 : 0);
    ++count_;
    return m;
  }
  void rearrange();
  // Beyond the inline members, the list moves to the heap and doubles.
  void grow();
  Member& at(std::size_t i) noexcept { return members_[i]; }
  const Member& at(std::size_t i) const noexcept { return members_[i]; }

  static constexpr std::size_t kInline = 12;
  static constexpr std::size_t kSmallBody = 512;
  Writer& w_;
  std::size_t body_;  // just past the opening brace
  bool by_name_ = false;
  // Whether every member so far came after the one before it; when one did
  // not, close() sorts them (for generic objects also when a name repeats).
  bool in_order_ = true;
  std::size_t count_ = 0;
  Member inline_[kInline];
  std::vector<Member> overflow_;  // every member, once there are more than kInline
  Member* members_ = inline_;
  std::size_t capacity_ = kInline;
  std::forward_list<std::string> names_;  // names that do not last on their own
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
