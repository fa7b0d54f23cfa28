// Origin canonicalisation and the fail-closed policy: canonical forms are
// fixed points, and the policy agrees with canonicalisation on what is
// malformed.
#include <cstdlib>
#include <string>

#include "origin/origin.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string origin(reinterpret_cast<const char*>(data), size);
  const auto canonical = qsdk::core::normalize_origin(origin);
  const auto permissive = qsdk::core::enforce_origin_policy(origin, true);
  if (canonical.has_value() != permissive.has_value()) std::abort();
  if (!canonical) {
    if (canonical.error().kind() != qsdk::core::ErrorKind::Input) std::abort();
    return 0;
  }
  const auto again = qsdk::core::normalize_origin(*canonical);
  if (!again || *again != *canonical) std::abort();
  const auto strict = qsdk::core::enforce_origin_policy(origin, false);
  if (!strict && strict.error().kind() != qsdk::core::ErrorKind::InsecureOrigin) std::abort();
  // The policy judges the canonical form, so both spellings fare alike.
  if (strict.has_value() != qsdk::core::enforce_origin_policy(*canonical, false).has_value()) std::abort();
  return 0;
}
