// Origins: the one canonical spelling that signed bytes carry, and the
// fail-closed policy that vouches apply on top of it.
#pragma once

#include <string>
#include <string_view>

#include "core/error.hpp"

namespace qsdk::core {

// "scheme://host[:port]" with the host's ASCII letters lowered and the
// scheme's default port dropped; anything that is not a bare origin is refused.
Result<std::string> normalize_origin(std::string_view origin);

}  // namespace qsdk::core
