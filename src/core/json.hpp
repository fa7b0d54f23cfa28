// The JSON value model shared by capabilities and token verification.
// Objects keep their members sorted by name in byte order; numbers keep the
// integer/double distinction they were parsed with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace qsdk::core::json {

struct Value;
using Array = std::vector<Value>;
// std::string compares as unsigned bytes, which is the order the canonical
// form requires; a repeated name keeps the last value written into the map.
using Object = std::map<std::string, Value>;

struct Value {
  using Storage = std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object>;
  Storage v = nullptr;

  Value() = default;
  template <class T>
  Value(T&& x) : v(std::forward<T>(x)) {}

  bool operator==(const Value&) const = default;
};

}  // namespace qsdk::core::json
