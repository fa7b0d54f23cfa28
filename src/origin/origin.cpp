#include "origin/origin.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace qsdk::core {
namespace {

constexpr std::string_view kMustStartWithScheme = "origin: must start with https:// or http://";
constexpr std::string_view kNoPath =
    "origin: must be scheme://host[:port], optionally with one trailing slash, and no path";
constexpr std::string_view kForbiddenChar =
    "origin: contains a forbidden character \u2014 userinfo ('@'), query ('?'), fragment ('#') and "
    "percent-encoding ('%') are not allowed in a bare scheme://host[:port] origin";
constexpr std::string_view kUnterminatedV6 = "origin: unterminated IPv6 literal \u2014 missing ']'";
constexpr std::string_view kEmptyV6 = "origin: empty IPv6 literal '[]'";
constexpr std::string_view kAfterV6 = "origin: unexpected characters after an IPv6 literal's ']'";
constexpr std::string_view kV6Port = "origin: port must be all-digit after an IPv6 literal";
constexpr std::string_view kManyColons =
    "origin: a bare host must not contain more than one ':' \u2014 wrap an IPv6 literal in '[...]'";
constexpr std::string_view kPortDigits = "origin: port must be all-digit";
constexpr std::string_view kEmptyHost = "origin: host must not be empty";

std::unexpected<CoreError> refuse(std::string_view detail) {
  return std::unexpected(CoreError::input(std::string(detail)));
}

bool forbidden(char32_t cp) {
  if (cp <= 0x20) return true;
  if (cp >= 0x7f && cp <= 0x9f) return true;
  switch (cp) {
    case U'#': case U'%': case U'?': case U'@': case U'\\': case U'|':
    case 0x00a0: case 0x1680: case 0x2028: case 0x2029: case 0x202f: case 0x205f: case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200a;
  }
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct HostPort {
  std::string_view host;
  std::string_view port;  // empty when absent
};

Result<HostPort> split_host_port(std::string_view rest) {
  if (rest.starts_with('[')) {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return refuse(kUnterminatedV6);
    if (close == 1) return refuse(kEmptyV6);
    HostPort hp{rest.substr(0, close + 1), {}};
    const auto after = rest.substr(close + 1);
    if (after.empty()) return hp;
    if (after.front() != ':') return refuse(kAfterV6);
    hp.port = after.substr(1);
    if (!all_digits(hp.port)) return refuse(kV6Port);
    return hp;
  }
  const auto colons = std::count(rest.begin(), rest.end(), ':');
  if (colons > 1) return refuse(kManyColons);
  if (colons == 0) return HostPort{rest, {}};
  const auto colon = rest.find(':');
  HostPort hp{rest.substr(0, colon), rest.substr(colon + 1)};
  if (!all_digits(hp.port)) return refuse(kPortDigits);
  return hp;
}

}  // namespace

Result<std::string> normalize_origin(std::string_view origin) {
  std::string_view scheme;
  std::string_view rest;
  if (origin.starts_with("https://")) {
    scheme = "https";
    rest = origin.substr(8);
  } else if (origin.starts_with("http://")) {
    scheme = "http";
    rest = origin.substr(7);
  } else {
    return refuse(kMustStartWithScheme);
  }

  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  if (rest.empty() || rest.find('/') != std::string_view::npos) return refuse(kNoPath);

  // The cursor reads an ill-formed sequence as U+FFFD one byte long, which
  // no rule below would refuse; only a real U+FFFD spans three bytes. A byte
  // that is not UTF-8 is refused here, whatever the caller checked before.
  for (Utf8Cursor cur(rest); !cur.done();) {
    const std::size_t start = cur.offset();
    const char32_t cp = cur.next();
    const bool ill_formed = cp == 0xfffd && cur.offset() - start != 3;
    if (ill_formed || forbidden(cp)) return refuse(kForbiddenChar);
  }

  std::string lowered(rest);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }

  auto hp = split_host_port(lowered);
  if (!hp) return std::unexpected(hp.error());
  if (hp->host.empty()) return refuse(kEmptyHost);

  std::string out(scheme);
  out += "://";
  out += hp->host;
  const bool default_port = (scheme == "https" && hp->port == "443") || (scheme == "http" && hp->port == "80");
  if (!hp->port.empty() && !default_port) {
    out += ':';
    out += hp->port;
  }
  return out;
}

namespace {

// Dotted decimal only: four parts of 0 to 255 without leading zeros. The C
// library's parser follows exactly this form; the length bound keeps any
// other spelling of a number out.
std::optional<std::array<std::uint8_t, 4>> parse_ipv4(std::string_view host) {
  if (host.size() > 15) return std::nullopt;
  const std::string text(host);
  std::array<std::uint8_t, 4> addr{};
  if (inet_pton(AF_INET, text.c_str(), addr.data()) != 1) return std::nullopt;
  return addr;
}

// RFC 4291 text, with an optional dotted IPv4 tail; no zone identifier.
std::optional<std::array<std::uint8_t, 16>> parse_ipv6(std::string_view text_view) {
  if (text_view.find('%') != std::string_view::npos) return std::nullopt;
  const std::string text(text_view);
  std::array<std::uint8_t, 16> addr{};
  if (inet_pton(AF_INET6, text.c_str(), addr.data()) != 1) return std::nullopt;
  return addr;
}

bool private_ipv4(const std::array<std::uint8_t, 4>& a) {
  const bool unspecified = a == std::array<std::uint8_t, 4>{0, 0, 0, 0};
  return unspecified || a[0] == 10 || a[0] == 127 || (a[0] == 169 && a[1] == 254) ||
         (a[0] == 172 && (a[1] & 0xf0) == 16) || (a[0] == 192 && a[1] == 168);
}

bool private_ipv6(const std::array<std::uint8_t, 16>& a) {
  const bool zero_prefix = std::all_of(a.begin(), a.begin() + 15, [](std::uint8_t b) { return b == 0; });
  if (zero_prefix && (a[15] == 0 || a[15] == 1)) return true;  // :: and ::1
  const unsigned first = static_cast<unsigned>(a[0]) << 8 | a[1];
  return (first & 0xffc0) == 0xfe80 || (first & 0xfe00) == 0xfc00;
}

bool unroutable_name(std::string_view host) {
  return host == "localhost" || host.ends_with(".localhost") || host == "0.0.0.0" || host.ends_with(".local");
}

bool unroutable_host(std::string_view host) {
  if (unroutable_name(host)) return true;
  if (host.starts_with('[') && host.ends_with(']')) {
    // A bracketed text that is no IPv6 address names nothing we can judge.
    const auto v6 = parse_ipv6(host.substr(1, host.size() - 2));
    return v6 && private_ipv6(*v6);
  }
  const auto v4 = parse_ipv4(host);
  return v4 && private_ipv4(*v4);
}

std::string_view host_of_https(std::string_view canonical) {
  std::string_view rest = canonical.substr(std::string_view("https://").size());
  if (rest.starts_with('[')) return rest.substr(0, rest.find(']') + 1);
  return rest.substr(0, rest.find(':'));
}

}  // namespace

Result<void> enforce_origin_policy(std::string_view origin, bool allow_insecure_origin) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  if (allow_insecure_origin) return {};
  if (!canonical->starts_with("https://"))
    return std::unexpected(CoreError::insecure_origin(cat(*canonical, ": scheme must be https in production")));
  const std::string_view host = host_of_https(*canonical);
  if (unroutable_host(host))
    return std::unexpected(CoreError::insecure_origin(
        cat(*canonical, ": host '", host, "' is not routable in production (loopback/private/link-local/mDNS)")));
  return {};
}

}  // namespace qsdk::core
