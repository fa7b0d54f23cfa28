#include "json/members.hpp"

#include <algorithm>

namespace qsdk::core::json {

bool enter_object(Cursor& c) {
  if (c.peek().kind != Tok::BeginObject) return false;
  c.begin_value();
  return true;
}

bool enter_array(Cursor& c) {
  if (c.peek().kind != Tok::BeginArray) return false;
  c.begin_value();
  return true;
}

bool read_string_members(Cursor& c, std::span<const std::string_view> names, std::span<StringSlot> out) {
  if (!enter_object(c)) return c.skip_value();
  return for_each_member(c, [&](std::string_view name) {
    const auto wanted = std::find(names.begin(), names.end(), name);
    if (wanted == names.end()) return c.skip_value();
    StringSlot& slot = out[static_cast<std::size_t>(wanted - names.begin())];
    if (c.peek().kind == Tok::String || c.peek().kind == Tok::FaultyString) {
      const Token* t = c.begin_value();
      if (t == nullptr) return false;
      slot.emplace(c.text(*t));
      return true;
    }
    slot.reset();  // a later occurrence of another type hides an earlier string
    return c.skip_value();
  });
}

}  // namespace qsdk::core::json
