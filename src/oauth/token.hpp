// ES256 token verification: a compact JWS checked against the issuer's key
// set, the expected issuer and audience, and a clock the caller supplies.
// Nothing here reads the system clock or fetches keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace qsdk::core {

// The claims of a verified token. Only iss, aud and exp have been checked;
// sub, iat, tid and nonce are returned for the host to judge.
struct Claims {
  std::string iss;
  std::string sub;
  std::string aud;
  std::uint64_t exp = 0;
  std::uint64_t iat = 0;
  std::optional<std::uint64_t> tid;
  std::optional<std::string> nonce;

  bool operator==(const Claims&) const = default;
};

// The only clock tolerance: a token stays acceptable this long after exp.
inline constexpr std::uint64_t kExpiryAllowanceSecs = 60;

// Checks the token's form, header and ES256 signature against the key the
// header selects from the set; returns the payload segment, still encoded.
Result<std::string_view> verify_signature(std::string_view jwt, std::string_view jwks_json);

// The whole verification: signature, then payload format, issuer, audience
// and expiry, in that order; the first failure is reported.
Result<Claims> verify_token_at(std::string_view jwt, std::string_view jwks_json, std::string_view expected_iss,
                               std::string_view expected_aud, std::uint64_t now_unix);

}  // namespace qsdk::core
