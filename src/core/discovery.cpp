#include "core/discovery.hpp"

#include <algorithm>
#include <cstdint>

#include "core/utf8.hpp"

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

std::unexpected<CoreError> refuse(std::string_view detail) { return fail(CoreError::input(std::string(detail))); }

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

  // Inputs reaching the core are valid UTF-8; a stray byte would still be
  // refused below, since the decoder yields a replacement outside ASCII.
  for (Utf8Cursor cur(rest); !cur.done();) {
    if (forbidden(cur.next())) return refuse(kForbiddenChar);
  }

  std::string lowered(rest);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }

  auto hp = split_host_port(lowered);
  if (!hp) return std::unexpected(std::move(hp.error()));
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

}  // namespace qsdk::core
