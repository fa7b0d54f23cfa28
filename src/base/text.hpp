// Message assembly: concatenates texts and decimal integers.
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>

namespace qsdk::core {

namespace detail {
inline void append(std::string& out, std::string_view s) { out += s; }
inline void append(std::string& out, char c) { out += c; }
template <std::integral I>
  requires(!std::same_as<I, char> && !std::same_as<I, bool>)
void append(std::string& out, I v) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, end);
}
}  // namespace detail

template <class... A>
std::string cat(const A&... parts) {
  std::string out;
  (detail::append(out, parts), ...);
  return out;
}

// Lower-case hexadecimal without leading zeros.
inline std::string hex_number(unsigned long v) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, 16);
  return std::string(buf, end);
}

}  // namespace qsdk::core
