#include "core/token.hpp"

#include <limits>
#include <tuple>

#include "core/codec.hpp"
#include "core/hash.hpp"
#include "core/json.hpp"
#include "core/p256.hpp"
#include "core/text.hpp"
#include "core/thumbprint.hpp"

namespace qsdk::core {

// The payload format: seven members, tid and nonce optional (null is
// absent), anything else ignored; also readable as an array of the seven.
template <>
struct json::Record<Claims> {
  static constexpr std::string_view name = "Claims";
  static constexpr auto fields = std::tuple{
      json::field("iss", &Claims::iss), json::field("sub", &Claims::sub),  json::field("aud", &Claims::aud),
      json::field("exp", &Claims::exp), json::field("iat", &Claims::iat),  json::field("tid", &Claims::tid),
      json::field("nonce", &Claims::nonce),
  };
};

namespace {

struct Segments {
  std::string_view header, payload, signature;
};

// Exactly two dots; empty segments count and nothing is trimmed.
std::optional<Segments> split_compact(std::string_view jwt) {
  const auto first = jwt.find('.');
  if (first == std::string_view::npos) return std::nullopt;
  const auto second = jwt.find('.', first + 1);
  if (second == std::string_view::npos || jwt.find('.', second + 1) != std::string_view::npos) return std::nullopt;
  return Segments{jwt.substr(0, first), jwt.substr(first + 1, second - first - 1), jwt.substr(second + 1)};
}

// Every base64url failure is the token's, even for a key's coordinates.
Result<Bytes> decode_b64url(std::string_view text) {
  auto bytes = base64url_decode(text);
  if (!bytes) return fail(CoreError::jwt(cat("base64: ", bytes.error())));
  return std::move(*bytes);
}

std::string_view as_text(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

// A member that is not a JSON string reads as missing.
const std::string* string_member(const json::Value& v, std::string_view name) {
  const json::Value* m = v.member(name);
  return m != nullptr ? m->as_string() : nullptr;
}

// The header's key identifier, once it has proved to be an ES256 header.
Result<std::optional<std::string>> header_key_id(std::string_view segment) {
  auto bytes = decode_b64url(segment);
  if (!bytes) return fail(bytes.error());
  auto header = json::parse(as_text(*bytes));
  if (!header) return fail(CoreError::jwt(header.error()));
  const std::string* alg = string_member(*header, "alg");
  if (alg == nullptr || *alg != "ES256") return fail(CoreError::jwt("alg must be ES256"));
  const std::string* kid = string_member(*header, "kid");
  return kid != nullptr ? std::optional<std::string>(*kid) : std::nullopt;
}

// A key answers to its own "kid" or, failing that, to its thumbprint; a key
// whose thumbprint cannot be computed answers only to its "kid".
bool answers_to(const json::Value& key, std::string_view kid) {
  if (const std::string* own = string_member(key, "kid"); own != nullptr && *own == kid) return true;
  const auto thumbprint = key_thumbprint(key);
  return thumbprint && *thumbprint == kid;
}

// The first key that answers to the identifier, else the first key.
const json::Value& select_key(const json::Array& keys, const std::optional<std::string>& kid) {
  if (kid)
    for (const json::Value& key : keys)
      if (answers_to(key, *kid)) return key;
  return keys.front();
}

// Only "x" and "y" are read: the key is taken to be a P-256 key whatever its
// "kty" and "crv" say, and the point itself decides whether it is one.
Result<p256::PublicKey> public_key(const json::Value& jwk) {
  const std::string* x = string_member(jwk, "x");
  if (x == nullptr) return fail(CoreError::bad_key("no x"));
  auto xb = decode_b64url(*x);
  if (!xb) return fail(xb.error());
  const std::string* y = string_member(jwk, "y");
  if (y == nullptr) return fail(CoreError::bad_key("no y"));
  auto yb = decode_b64url(*y);
  if (!yb) return fail(yb.error());
  if (xb->size() != p256::kCoordinateSize || yb->size() != p256::kCoordinateSize)
    return fail(CoreError::bad_key("x/y must be 32 bytes"));
  auto key = p256::PublicKey::from_affine(*xb, *yb);
  if (!key) return fail(CoreError::bad_key(std::string(kSignatureError)));
  return std::move(*key);
}

Result<p256::PublicKey> selected_key(std::string_view jwks_json, const std::optional<std::string>& kid) {
  auto set = json::parse(jwks_json);
  if (!set) return fail(CoreError::bad_key(set.error()));
  const json::Value* member = set->member("keys");
  const json::Array* keys = member != nullptr ? member->as_array() : nullptr;
  if (keys == nullptr) return fail(CoreError::bad_key("no keys"));
  if (keys->empty()) return fail(CoreError::bad_key("no matching key"));
  return public_key(select_key(*keys, kid));
}

// exp plus the allowance, saturating: a token with an exp near 2^64 - 1
// never expires rather than wrapping round to long expired.
std::uint64_t expiry_limit(std::uint64_t exp) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return exp > kMax - kExpiryAllowanceSecs ? kMax : exp + kExpiryAllowanceSecs;
}

}  // namespace

Result<std::string_view> verify_signature(std::string_view jwt, std::string_view jwks_json) {
  const auto segments = split_compact(jwt);
  if (!segments) return fail(CoreError::jwt("not a 3-part JWT"));
  auto kid = header_key_id(segments->header);
  if (!kid) return fail(kid.error());
  auto key = selected_key(jwks_json, *kid);
  if (!key) return fail(key.error());
  auto signature = decode_b64url(segments->signature);
  if (!signature) return fail(signature.error());

  // The signing input exactly as it stands in the token, never re-encoded.
  const std::string_view signing_input = jwt.substr(0, segments->header.size() + 1 + segments->payload.size());
  switch (key->verify(*signature, sha256(as_bytes(signing_input)))) {
    case p256::Verdict::Valid: return segments->payload;
    case p256::Verdict::Malformed: return fail(CoreError::jwt(std::string(kSignatureError)));
    case p256::Verdict::Mismatch: break;
  }
  return fail(CoreError::jwt("bad signature"));
}

Result<Claims> verify_token_at(std::string_view jwt, std::string_view jwks_json, std::string_view expected_iss,
                               std::string_view expected_aud, std::uint64_t now_unix) {
  auto payload_segment = verify_signature(jwt, jwks_json);
  if (!payload_segment) return fail(payload_segment.error());
  auto payload = decode_b64url(*payload_segment);
  if (!payload) return fail(payload.error());
  auto claims = json::parse_as<Claims>(as_text(*payload));
  if (!claims) return fail(CoreError::jwt(claims.error()));
  if (claims->iss != expected_iss) return fail(CoreError::claim("iss mismatch"));
  if (claims->aud != expected_aud) return fail(CoreError::claim("aud mismatch"));
  if (now_unix > expiry_limit(claims->exp)) return fail(CoreError::claim("expired"));
  return std::move(*claims);
}

}  // namespace qsdk::core
