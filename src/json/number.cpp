#include "json/number.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

namespace qsdk::core::json {

namespace {

// Whether a number in JSON syntax is at least 1 in magnitude. Tells
// overflow from underflow once the conversion has reported it out of range.
bool magnitude_at_least_one(std::string_view raw) {
  const auto is_digit = [&](std::size_t i) { return i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; };
  std::size_t i = raw.starts_with('-') ? 1 : 0;
  // The power of ten of the first non-zero digit. Such a digit exists: a
  // zero never overflows or underflows.
  long long power = 0;
  bool found = false;
  const std::size_t int_begin = i;
  while (is_digit(i)) ++i;
  for (std::size_t k = int_begin; k < i && !found; ++k)
    if (raw[k] != '0') {
      power = static_cast<long long>(i - k) - 1;
      found = true;
    }
  if (i < raw.size() && raw[i] == '.') {
    long long place = 0;
    for (++i; is_digit(i); ++i) {
      ++place;
      if (!found && raw[i] != '0') {
        power = -place;
        found = true;
      }
    }
  }
  long long exponent = 0;
  if (i < raw.size() && (raw[i] == 'e' || raw[i] == 'E')) {
    ++i;
    const bool negative = i < raw.size() && raw[i] == '-';
    if (i < raw.size() && (raw[i] == '-' || raw[i] == '+')) ++i;
    constexpr long long kCap = 1'000'000'000'000LL;  // beyond any double's range, far from overflowing
    for (; is_digit(i); ++i) exponent = std::min(kCap, exponent * 10 + (raw[i] - '0'));
    if (negative) exponent = -exponent;
  }
  return power + exponent >= 0;
}

}  // namespace

// libstdc++'s from_chars rounds correctly however many digits it is given,
// and reads a long exponent without overflowing.
double nearest_double(std::string_view spelling) {
  double d = 0;
  const auto r = std::from_chars(spelling.data(), spelling.data() + spelling.size(), d, std::chars_format::general);
  if (r.ec == std::errc{}) return d;
  const bool negative = spelling.starts_with('-');
  if (magnitude_at_least_one(spelling)) return negative ? -std::numeric_limits<double>::infinity()
                                                        : std::numeric_limits<double>::infinity();
  return negative ? -0.0 : 0.0;  // underflow reads as zero
}

namespace {

// A plain decimal of at most 15 digits, without exponent: its digits make an
// integer below 2^53 and its scale a power of ten of at most 10^22, both held
// exactly by a double, so one division rounds it correctly.
bool read_short_decimal(std::string_view spelling, double& out) {
  constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = spelling.starts_with('-');
  std::uint64_t digits = 0;
  std::size_t count = 0, scale = 0;
  bool fraction = false;
  for (std::size_t i = negative ? 1 : 0; i < spelling.size(); ++i) {
    const char c = spelling[i];
    if (c == '.') {
      fraction = true;
      continue;
    }
    if (c < '0' || c > '9' || ++count > 15) return false;  // an exponent, or too many digits
    digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    if (fraction) ++scale;
  }
  const double d = static_cast<double>(digits) / kPowers[scale];
  out = negative ? -d : d;
  return true;
}

}  // namespace

Number read_number(std::string_view spelling, bool integral) {
  Number n;
  const char* first = spelling.data();
  const char* last = first + spelling.size();
  const bool negative = spelling.starts_with('-');
  if (integral && spelling != "-0") {
    if (!negative && std::from_chars(first, last, n.u).ec == std::errc{}) return n;
    if (negative) {
      if (std::from_chars(first, last, n.i).ec == std::errc{}) {
        n.kind = Number::Kind::I64;
        return n;
      }
      n.kind = Number::Kind::NegativeInteger;
      n.d = nearest_double(spelling);
      return n;
    }
  }
  if (!integral && read_short_decimal(spelling, n.d)) {
    n.kind = Number::Kind::F64;
    return n;
  }
  n.d = nearest_double(spelling);
  n.kind = n.d == std::numeric_limits<double>::infinity() || n.d == -std::numeric_limits<double>::infinity()
               ? Number::Kind::OutOfRange
               : Number::Kind::F64;
  return n;
}

}  // namespace qsdk::core::json
