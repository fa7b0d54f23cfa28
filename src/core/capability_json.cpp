#include "core/capability_json.hpp"

#include <stdexcept>

namespace qsdk::core {

std::string write_grant_list(const std::vector<Grant>&) { throw std::logic_error("grant lists not available"); }
std::string write_delegation(const Delegation&) { throw std::logic_error("delegations not available"); }
std::string write_delegation_chain(const std::vector<Delegation>&) { throw std::logic_error("delegations not available"); }

}  // namespace qsdk::core
