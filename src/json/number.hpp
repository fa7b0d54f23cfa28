// Reading a number's spelling as the exact decimal it spells.
#pragma once

#include <cstdint>
#include <string_view>

namespace qsdk::core::json {

// What a number holds: an integer that fits 64 unsigned bits is unsigned, a
// negative integer that fits 64 signed bits is signed; "-0" and everything
// else are doubles, rounded once to nearest. A negative integer below the
// signed range also keeps its class, for messages that quote it as written.
struct Number {
  enum class Kind : std::uint8_t { U64, I64, F64, NegativeInteger, OutOfRange } kind = Kind::U64;
  union {
    std::uint64_t u;
    std::int64_t i;
    double d;  // F64, NegativeInteger
  };
  Number() : u(0) {}
};

// `spelling` must follow the JSON number grammar; `integral` says it has
// neither fraction nor exponent. A magnitude that rounds beyond the largest
// double is OutOfRange (a NegativeInteger may hold an infinite d); one that
// rounds below the smallest is a zero of its sign. Time is linear in the
// length of the spelling.
Number read_number(std::string_view spelling, bool integral);

// The value of an integer spelled with at most 19 digits and no sign,
// which always fits 64 bits.
inline std::uint64_t read_short_integer(std::string_view digits) noexcept {
  std::uint64_t value = 0;
  for (const char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return value;
}

// The double nearest to a spelling, or an infinity when it rounds beyond
// the largest double.
double nearest_double(std::string_view spelling);

}  // namespace qsdk::core::json
