// The one canonical JSON form of grants, caveats and delegation links.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/capability.hpp"
#include "core/error.hpp"

namespace qsdk::core {

// Writing cannot fail: the form is fully determined by the value.
std::string write_grant_list(const std::vector<Grant>& grants);
std::string write_delegation(const Delegation& link);
std::string write_delegation_chain(const std::vector<Delegation>& chain);

}  // namespace qsdk::core
