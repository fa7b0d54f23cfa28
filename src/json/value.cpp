#include "json/value.hpp"

#include <algorithm>
#include <tuple>

namespace qsdk::core::json {

namespace {

bool is_nonempty_container(const Value& v) noexcept {
  if (const Array* a = v.as_array()) return !a->empty();
  if (const Object* o = v.as_object()) return !o->empty();
  return false;
}

}  // namespace

Object::Object(std::initializer_list<value_type> members) {
  members_.reserve(members.size());
  for (const auto& m : members) members_.push_back(m);
  settle();
}

Object::const_iterator Object::find(std::string_view name) const noexcept {
  const auto it = std::lower_bound(members_.begin(), members_.end(), name,
                                   [](const value_type& m, std::string_view n) { return m.first < n; });
  return it != members_.end() && it->first == name ? it : members_.end();
}

Value& Object::append(std::string name) {
  return members_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(name)), std::tuple<>{}).second;
}

void Object::settle() {
  const auto by_name = [](const value_type& a, const value_type& b) { return a.first < b.first; };
  const auto strictly_sorted = [&] {
    for (std::size_t i = 1; i < members_.size(); ++i)
      if (!(members_[i - 1].first < members_[i].first)) return false;
    return true;
  };
  if (strictly_sorted()) return;  // the usual case: canonical input
  // Stable, so that among equal names document order survives and the last
  // one can be kept. Small objects sort in place without a scratch buffer.
  if (members_.size() <= 16) {
    for (std::size_t i = 1; i < members_.size(); ++i)
      for (std::size_t j = i; j > 0 && by_name(members_[j], members_[j - 1]); --j)
        std::swap(members_[j], members_[j - 1]);
  } else {
    std::stable_sort(members_.begin(), members_.end(), by_name);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (i + 1 < members_.size() && members_[i + 1].first == members_[i].first) continue;
    if (kept != i) members_[kept] = std::move(members_[i]);
    ++kept;
  }
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(kept), members_.end());
}

const Value* Value::member(std::string_view name) const noexcept {
  const Object* o = as_object();
  if (o == nullptr) return nullptr;
  const auto it = o->find(name);
  return it == o->end() ? nullptr : &it->second;
}

bool Value::has_nested_container() const noexcept {
  if (const Array* a = as_array()) return std::any_of(a->begin(), a->end(), is_nonempty_container);
  if (const Object* o = as_object())
    return std::any_of(o->begin(), o->end(), [](const auto& m) { return is_nonempty_container(m.second); });
  return false;
}

Value::~Value() {
  if (has_nested_container()) dismantle();
}

// Moves every nested container onto a work list and empties it there, so that
// no destructor ever runs more than two levels deep.
void Value::dismantle() noexcept {
  std::vector<Value> pending;
  const auto adopt_children = [&pending](Value& v) {
    if (auto* a = std::get_if<Array>(&v.v)) {
      for (Value& c : *a)
        if (is_nonempty_container(c)) pending.push_back(std::move(c));
    } else if (auto* o = std::get_if<Object>(&v.v)) {
      for (auto& m : *o)
        if (is_nonempty_container(m.second)) pending.push_back(std::move(m.second));
    }
  };
  adopt_children(*this);
  while (!pending.empty()) {
    Value next = std::move(pending.back());
    pending.pop_back();
    adopt_children(next);
  }
}

}  // namespace qsdk::core::json
