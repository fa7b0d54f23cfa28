// Absolute URLs as the URL Standard (WHATWG) parses and serialises them.
// There is no base URL: a relative reference is refused, never resolved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsdk::core::url {

// Why a text is not an absolute URL. Each has one fixed message.
enum class UrlError {
  EmptyHost,
  IdnaError,
  InvalidPort,
  InvalidIpv4Address,
  InvalidIpv6Address,
  InvalidDomainCharacter,
  RelativeUrlWithoutBase,
  Overflow,
};

std::string_view message(UrlError e);

template <class T>
using UrlResult = std::expected<T, UrlError>;

// A URL record. Every component is held already encoded, so serialising is
// plain concatenation.
struct Url {
  std::string scheme;                 // lower case, without ":"
  std::string username;               // percent-encoded
  std::string password;               // percent-encoded
  std::optional<std::string> host;    // serialised host; "" is the empty host
  std::optional<std::uint16_t> port;  // never the scheme's default port
  std::vector<std::string> path;      // segments, unless the path is opaque
  std::optional<std::string> opaque_path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;

  bool is_special() const;
  bool has_opaque_path() const { return opaque_path.has_value(); }

  std::string href() const;
  std::string pathname() const;

  // The Standard's pathname setter: the path is emptied and `value` parsed
  // into it as a path. An opaque path is left as it is.
  void set_pathname(std::string_view value);

  // Replaces an opaque path. "/" is encoded along with the path encode set,
  // so the result can never re-parse as a hierarchical path.
  void replace_opaque_path(std::string_view value);
};

// Parses an absolute URL. The input is UTF-8; ill-formed sequences count as
// U+FFFD, as they would in any text the Standard's parser receives.
UrlResult<Url> parse(std::string_view input);

// The application/x-www-form-urlencoded serializer for one name-value pair,
// over the UTF-8 bytes of both: appended to `query`, after "&" unless
// `query` is still empty.
void append_form_pair(std::string& query, std::string_view name, std::string_view value);

namespace detail {
// parse() with a ceiling on the serialised length, so that the ceiling's
// refusal can be exercised without gigabytes of input.
UrlResult<Url> parse_with_limit(std::string_view input, std::size_t max_href);
}  // namespace detail

}  // namespace qsdk::core::url
