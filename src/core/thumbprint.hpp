// The issuer key id: the RFC 7638 SHA-256 thumbprint of an elliptic-curve
// JWK, written as lower-case hex. The same value identifies the key on chain
// and may stand as a token's "kid" when a key is picked from a key set.
#pragma once

#include <string>
#include <string_view>

#include "core/error.hpp"
#include "core/json.hpp"

namespace qsdk::core {

// The hash input: {"crv":…,"kty":"EC","x":…,"y":…} with the three values
// inserted as they are, unescaped and unchecked.
std::string thumbprint_input(std::string_view crv, std::string_view x, std::string_view y);

// From the JSON text of one JWK. Every failure is a BadKey error.
Result<std::string> issuer_key_id(std::string_view jwk_json);
// The same from a JWK already parsed (a key-set entry).
Result<std::string> key_thumbprint(const json::Value& jwk);

}  // namespace qsdk::core
