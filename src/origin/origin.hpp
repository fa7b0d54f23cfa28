// Origins: the one canonical spelling that signed bytes carry, and the
// fail-closed policy that vouches apply on top of it.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"

namespace qsdk::core {

// "scheme://host[:port]" with the host's ASCII letters lowered and the
// scheme's default port dropped; anything that is not a bare origin is refused.
Result<std::string> normalize_origin(std::string_view origin);

// Fails closed: the origin must canonicalise, and unless
// `allow_insecure_origin` is set it must be https on a host that is routable
// in production (no loopback, private, link-local, unspecified or mDNS names
// and addresses). A refusal is the only source of the InsecureOrigin class.
Result<void> enforce_origin_policy(std::string_view origin, bool allow_insecure_origin);

}  // namespace qsdk::core
