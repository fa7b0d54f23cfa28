// The URL Standard's host parser: domains (through UTS #46), IPv4 in every
// numeric spelling, IPv6, and the opaque hosts of non-special schemes.
#pragma once

#include <string>
#include <string_view>

#include "url/url.hpp"

namespace qsdk::core::url {

// Parses `input` (UTF-8, as it stood between "//" and the port or path) and
// returns the host's serialisation: a lower-case ASCII domain, a dotted
// IPv4 address, "[" compressed IPv6 "]", or an opaque host when `is_opaque`
// (non-special schemes). The caller handles the empty host itself.
UrlResult<std::string> parse_host(std::string_view input, bool is_opaque);

// `utf8` as a scalar value string: each ill-formed sequence becomes U+FFFD.
std::string scalar_values(std::string_view utf8);

}  // namespace qsdk::core::url
