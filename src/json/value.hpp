// The generic JSON value: what a member of any shape is held as, sorted
// the way the canonical form writes it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace qsdk::core::json {

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
inline bool Object::operator==(const Object& other) const { return members_ == other.members_; }

}  // namespace qsdk::core::json
