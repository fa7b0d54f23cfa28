// The issuer key id: the RFC 7638 SHA-256 thumbprint of an elliptic-curve
// JWK, written as lower-case hex. The same value identifies the key on chain
// and may stand as a token's "kid" when a key is picked from a key set.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "crypto/hash.hpp"
#include "json/cursor.hpp"

namespace qsdk::core {

// The members of a JWK this library reads. Each is set only when its last
// occurrence is a JSON string.
struct JwkMembers {
  std::optional<std::string> kid, kty, crv, x, y;
};

// Reads one JWK from the cursor: any JSON value, one that is not an object
// having none of the members. False, with the cursor's error, on a text fault.
bool read_jwk(json::Cursor& c, JwkMembers& out);

// The SHA-256 thumbprint of a JWK already read: the hash of
// {"crv":…,"kty":"EC","x":…,"y":…} with the three values inserted as they
// are, unescaped and unchecked. Every failure is a BadKey error.
Result<Digest32> key_thumbprint(const JwkMembers& jwk);

// From the JSON text of one JWK, as lower-case hex.
Result<std::string> issuer_key_id(std::string_view jwk_json);

}  // namespace qsdk::core
