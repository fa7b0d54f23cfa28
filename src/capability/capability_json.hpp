// The one canonical JSON form of grants, caveats and delegation links.
// Parsing accepts any spelling (white space, member order, unknown members,
// null optionals, positional arrays); writing gives the single canonical text
// that bindings embed and parent references hash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "capability/capability.hpp"

namespace qsdk::core {

// A failure is an Input error carrying the parser's message and position.
Result<std::vector<Grant>> parse_grant_list(std::string_view text);
Result<Delegation> parse_delegation(std::string_view text);
Result<std::vector<Delegation>> parse_delegation_chain(std::string_view text);

// The canonical text of what the parser above reads, or its failure, without
// holding the values: what a deed carries and a parent reference hashes.
Result<std::string> canonical_grant_list(std::string_view text);
Result<std::string> canonical_delegation(std::string_view text);
Result<std::string> canonical_delegation_chain(std::string_view text);

// Writing cannot fail: the form is fully determined by the value.
std::string write_grant_list(const std::vector<Grant>& grants);
std::string write_delegation(const Delegation& link);
std::string write_delegation_chain(const std::vector<Delegation>& chain);

}  // namespace qsdk::core
