#include "url/url_host.hpp"

#include <unicode/uidna.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/text.hpp"
#include "base/utf8.hpp"
#include "url/url_percent.hpp"

namespace qsdk::core::url {
namespace {

using Ipv6 = std::array<std::uint16_t, 8>;

constexpr int kEnd = -1;  // the end of the text, where the Standard reads "EOF"

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }
constexpr bool is_hex(int c) { return c != kEnd && is_ascii_hex_digit(static_cast<unsigned char>(c)); }

// ---- IPv6 ------------------------------------------------------------------

class Ipv6Reader {
 public:
  explicit Ipv6Reader(std::string_view s) : s_(s) {}
  int c(std::size_t ahead = 0) const {
    return p_ + ahead < s_.size() ? static_cast<unsigned char>(s_[p_ + ahead]) : kEnd;
  }
  void advance(std::size_t n = 1) { p_ += n; }
  void back(std::size_t n) { p_ -= n; }

 private:
  std::string_view s_;
  std::size_t p_ = 0;
};

// The dotted IPv4 tail of an IPv6 address, written into two pieces.
bool read_ipv4_tail(Ipv6Reader& r, Ipv6& address, int& piece) {
  if (piece > 6) return false;
  int numbers_seen = 0;
  while (r.c() != kEnd) {
    if (numbers_seen > 0) {
      if (r.c() != '.' || numbers_seen >= 4) return false;
      r.advance();
    }
    if (!is_digit(r.c())) return false;
    std::optional<unsigned> part;
    while (is_digit(r.c())) {
      const unsigned digit = static_cast<unsigned>(r.c() - '0');
      if (!part) part = digit;
      else if (*part == 0) return false;  // no leading zeros
      else part = *part * 10 + digit;
      if (*part > 255) return false;
      r.advance();
    }
    address[piece] = static_cast<std::uint16_t>(address[piece] * 0x100 + *part);
    ++numbers_seen;
    if (numbers_seen == 2 || numbers_seen == 4) ++piece;
  }
  return numbers_seen == 4;
}

std::optional<Ipv6> parse_ipv6(std::string_view input) {
  Ipv6 address{};
  int piece = 0;
  std::optional<int> compress;
  Ipv6Reader r(input);
  if (r.c() == ':') {
    if (r.c(1) != ':') return std::nullopt;
    r.advance(2);
    compress = ++piece;
  }
  while (r.c() != kEnd) {
    if (piece == 8) return std::nullopt;
    if (r.c() == ':') {
      if (compress) return std::nullopt;
      r.advance();
      compress = ++piece;
      continue;
    }
    unsigned value = 0;
    std::size_t length = 0;
    while (length < 4 && is_hex(r.c())) {
      value = value * 0x10 + hex_value(static_cast<unsigned char>(r.c()));
      r.advance();
      ++length;
    }
    if (r.c() == '.') {
      if (length == 0) return std::nullopt;
      r.back(length);
      if (!read_ipv4_tail(r, address, piece)) return std::nullopt;
      break;
    }
    if (r.c() == ':') {
      r.advance();
      if (r.c() == kEnd) return std::nullopt;
    } else if (r.c() != kEnd) {
      return std::nullopt;
    }
    address[piece++] = static_cast<std::uint16_t>(value);
  }
  if (compress) {
    int swaps = piece - *compress;
    piece = 7;
    while (piece != 0 && swaps > 0) {
      std::swap(address[piece], address[*compress + swaps - 1]);
      --piece;
      --swaps;
    }
  } else if (piece != 8) {
    return std::nullopt;
  }
  return address;
}

// The first longest run of two or more zero pieces, which "::" replaces.
std::optional<int> compressed_piece(const Ipv6& a) {
  std::optional<int> longest;
  int longest_size = 1;
  std::optional<int> found;
  int found_size = 0;
  for (int i = 0; i < 8; ++i) {
    if (a[i] != 0) {
      if (found_size > longest_size) {
        longest = found;
        longest_size = found_size;
      }
      found.reset();
      found_size = 0;
    } else {
      if (!found) found = i;
      ++found_size;
    }
  }
  if (found_size > longest_size) return found;
  return longest;
}

std::string serialize_ipv6(const Ipv6& a) {
  std::string out = "[";
  const std::optional<int> compress = compressed_piece(a);
  bool ignore0 = false;
  for (int i = 0; i < 8; ++i) {
    if (ignore0 && a[i] == 0) continue;
    ignore0 = false;
    if (compress == i) {
      out += i == 0 ? "::" : ":";
      ignore0 = true;
      continue;
    }
    out += hex_number(a[i]);
    if (i != 7) out += ':';
  }
  out += ']';
  return out;
}

// ---- IPv4 ------------------------------------------------------------------

// Numbers beyond 32 bits all fail the same way; stop counting well past that
// so that a part of any length cannot overflow.
constexpr std::uint64_t kIpv4NumberCeiling = std::uint64_t{1} << 40;

std::optional<std::uint64_t> parse_ipv4_number(std::string_view s) {
  if (s.empty()) return std::nullopt;
  unsigned radix = 10;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    radix = 16;
  } else if (s.size() >= 2 && s[0] == '0') {
    s.remove_prefix(1);
    radix = 8;
  }
  std::uint64_t value = 0;
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    unsigned digit;
    if (radix == 16 && is_ascii_hex_digit(b)) digit = hex_value(b);
    else if (is_digit(b) && static_cast<unsigned>(b - '0') < radix) digit = static_cast<unsigned>(b - '0');
    else return std::nullopt;
    value = std::min(value * radix + digit, kIpv4NumberCeiling);
  }
  return value;
}

std::string_view last_part(std::string_view s) {
  const auto dot = s.rfind('.');
  return dot == std::string_view::npos ? s : s.substr(dot + 1);
}

// Whether the host must be read as an IPv4 address: its last label (a
// trailing dot aside) is decimal digits or a hexadecimal "0x" number.
bool ends_in_a_number(std::string_view s) {
  if (s.ends_with('.')) s.remove_suffix(1);
  const std::string_view last = last_part(s);
  if (!last.empty() && std::all_of(last.begin(), last.end(), [](char c) { return is_digit(c); })) return true;
  return last.size() >= 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X') &&
         parse_ipv4_number(last).has_value();
}

std::optional<std::uint32_t> parse_ipv4(std::string_view s) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const auto dot = s.find('.', start);
    parts.push_back(s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  if (parts.size() > 4) return std::nullopt;
  std::vector<std::uint64_t> numbers;
  for (std::string_view part : parts) {
    const auto n = parse_ipv4_number(part);
    if (!n) return std::nullopt;
    numbers.push_back(*n);
  }
  const std::uint64_t last = numbers.back();
  numbers.pop_back();
  if (std::any_of(numbers.begin(), numbers.end(), [](std::uint64_t n) { return n > 255; })) return std::nullopt;
  // The last number fills every byte the earlier ones left: 1.2.65535 is 1.2.255.255.
  if (last >= std::uint64_t{1} << (8 * (4 - numbers.size()))) return std::nullopt;
  std::uint64_t address = last;
  for (std::size_t i = 0; i < numbers.size(); ++i) address += numbers[i] << (8 * (3 - i));
  return static_cast<std::uint32_t>(address);
}

std::string serialize_ipv4(std::uint32_t a) {
  return cat(a >> 24, '.', a >> 16 & 0xff, '.', a >> 8 & 0xff, '.', a & 0xff);
}

// ---- Domains and opaque hosts ------------------------------------------------

constexpr bool is_forbidden_host_byte(unsigned char b) {
  switch (b) {
    case 0x00: case '\t': case '\n': case '\r': case ' ': case '#': case '/': case ':': case '<':
    case '>': case '?': case '@': case '[': case '\\': case ']': case '^': case '|':
      return true;
    default:
      return false;
  }
}

constexpr bool is_forbidden_domain_byte(unsigned char b) {
  return is_forbidden_host_byte(b) || b <= 0x1f || b == '%' || b == 0x7f;
}

template <class Pred>
bool contains_byte(std::string_view s, Pred pred) {
  return std::any_of(s.begin(), s.end(), [&](char c) { return pred(static_cast<unsigned char>(c)); });
}

bool is_ascii(std::string_view s) {
  return !contains_byte(s, [](unsigned char b) { return b >= 0x80; });
}

// UTS #46 options the URL Standard sets: CheckBidi, CheckJoiners and
// nontransitional processing; no STD3 rules and no CheckHyphens.
constexpr std::uint32_t kIdnaOptions = UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII |
                                       UIDNA_NONTRANSITIONAL_TO_UNICODE;

// ICU always tests hyphens and DNS lengths; with CheckHyphens and
// VerifyDnsLength false those findings are not errors.
constexpr std::uint32_t kIgnoredIdnaErrors = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                             UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                             UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

struct IdnaCloser {
  void operator()(UIDNA* idna) const noexcept { uidna_close(idna); }
};

// Since Unicode 15.1 the IDNA mapping takes capital sharp s to "ß", which
// nontransitional processing keeps, where older tables spell it "ss": the
// same text would name another host than in current browsers. Mapping it
// here makes an older ICU agree. The other changes since then that current
// conformance data exercises all make valid what an older ICU refuses, so
// there an older ICU fails closed.
std::string map_capital_sharp_s(std::string_view domain) {
  constexpr std::string_view kCapitalSharpS = "\u1E9E";
  constexpr std::string_view kSharpS = "\u00DF";
  std::string out;
  out.reserve(domain.size());
  for (std::size_t i = 0; i < domain.size();) {
    if (domain.substr(i, kCapitalSharpS.size()) == kCapitalSharpS) {
      out += kSharpS;
      i += kCapitalSharpS.size();
    } else {
      out += domain[i++];
    }
  }
  return out;
}

// ICU rewrites the whole name once per label, so its time grows with the
// square of the label count: a hostile megabyte of one-letter labels would
// take seconds. Real names are at most 253 octets once encoded; a name that
// needs IDNA and is longer than this is refused instead.
constexpr std::size_t kMaxIdnaInput = 16 * 1024;

// Unicode ToASCII; nullopt when it records an error that counts.
std::optional<std::string> uts46_to_ascii(std::string_view input) {
  if (input.size() > kMaxIdnaInput) return std::nullopt;
  const std::string domain = map_capital_sharp_s(input);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UIDNA, IdnaCloser> idna(uidna_openUTS46(kIdnaOptions, &status));
  if (U_FAILURE(status)) throw std::runtime_error(cat("idna: ", u_errorName(status)));

  const auto length = static_cast<std::int32_t>(domain.size());
  std::string out(domain.size() * 2 + 32, '\0');
  UIDNAInfo info = UIDNA_INFO_INITIALIZER;
  std::int32_t written = uidna_nameToASCII_UTF8(idna.get(), domain.data(), length, out.data(),
                                                static_cast<std::int32_t>(out.size()), &info, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    info = UIDNA_INFO_INITIALIZER;
    out.assign(static_cast<std::size_t>(written), '\0');
    written = uidna_nameToASCII_UTF8(idna.get(), domain.data(), length, out.data(),
                                     static_cast<std::int32_t>(out.size()), &info, &status);
  }
  if (U_FAILURE(status) || (info.errors & ~kIgnoredIdnaErrors) != 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(written));
  return out;
}

// The domain parser with beStrict false. An ASCII domain is only lower-cased,
// whatever ToASCII would say of it (invalid Punycode such as "xn--a" stays),
// as browsers have always done.
UrlResult<std::string> domain_to_ascii(std::string_view domain) {
  std::string result;
  if (is_ascii(domain)) {
    result.assign(domain);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  } else {
    auto ascii = uts46_to_ascii(domain);
    if (!ascii) return std::unexpected(UrlError::IdnaError);
    result = std::move(*ascii);
  }
  if (result.empty()) return std::unexpected(UrlError::EmptyHost);
  if (contains_byte(result, is_forbidden_domain_byte)) return std::unexpected(UrlError::InvalidDomainCharacter);
  return result;
}

UrlResult<std::string> parse_opaque_host(std::string_view input) {
  if (contains_byte(input, is_forbidden_host_byte)) return std::unexpected(UrlError::InvalidDomainCharacter);
  std::string out;
  percent_encode(out, input, kC0ControlSet);
  return out;
}

}  // namespace

std::string scalar_values(std::string_view utf8) {
  if (!utf8_error(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size() + 8);
  for (Utf8Cursor cur(utf8); !cur.done();) append_utf8(out, cur.next());
  return out;
}

UrlResult<std::string> parse_host(std::string_view input, bool is_opaque) {
  if (input.starts_with('[')) {
    if (input.size() < 2 || !input.ends_with(']')) return std::unexpected(UrlError::InvalidIpv6Address);
    const auto address = parse_ipv6(input.substr(1, input.size() - 2));
    if (!address) return std::unexpected(UrlError::InvalidIpv6Address);
    return serialize_ipv6(*address);
  }
  if (is_opaque) return parse_opaque_host(input);

  // Percent-encoded bytes are decoded before IDNA: "exam%70le.org" is
  // example.org, and "exa%23mple.org" is refused for its "#".
  const std::string domain = scalar_values(percent_decode(input));
  auto ascii = domain_to_ascii(domain);
  if (!ascii) return ascii;
  if (!ends_in_a_number(*ascii)) return ascii;
  const auto ipv4 = parse_ipv4(*ascii);
  if (!ipv4) return std::unexpected(UrlError::InvalidIpv4Address);
  return serialize_ipv4(*ipv4);
}

}  // namespace qsdk::core::url
