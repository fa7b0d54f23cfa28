// A lean reading of JSON for the token path: only a few string members of an
// object are wanted (a header's alg and kid, a key's kid, kty, crv, x and y),
// so they are picked straight off the text instead of building the whole
// value. The text must still be one well-formed JSON value, and a
// failure reads as json::parse reports the same fault (the members it skips
// are only checked for grammar, so it fails on fewer texts).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "json/cursor.hpp"

namespace qsdk::core::json {

using StringSlot = std::optional<std::string>;

// Reads the next value. When it is an object, out[i] becomes the last
// occurrence of the member names[i] if that occurrence is a JSON string, and
// stays empty if it is of another type or missing; every other member is
// skipped. A value that is not an object has no members. Returns false, with the cursor's error set, when
// the text fails.
bool read_string_members(Cursor& c, std::span<const std::string_view> names, std::span<StringSlot> out);

// Whether the next value is an object; if so its opening brace is consumed
// so that its members can be walked with for_each_member.
bool enter_object(Cursor& c);
// Likewise for an array and for_each_element.
bool enter_array(Cursor& c);

// Walks the rest of an entered object: `read(name)` must consume the
// member's value, returning false on a text fault, as this then does.
template <class Read>
bool for_each_member(Cursor& c, Read&& read) {
  for (;;) {
    std::string_view name;
    switch (c.next_member(name)) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed: return true;
      case Cursor::Step::Item: break;
    }
    if (!read(name)) return false;
  }
}

// Walks the rest of an entered array: `read()` must consume one element.
template <class Read>
bool for_each_element(Cursor& c, Read&& read) {
  for (;;) {
    switch (c.next_element()) {
      case Cursor::Step::Failed: return false;
      case Cursor::Step::Closed: return true;
      case Cursor::Step::Item: break;
    }
    if (!read()) return false;
  }
}

}  // namespace qsdk::core::json
