#include "oauth/token.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <tuple>
#include <vector>

#include "base/codec.hpp"
#include "base/text.hpp"
#include "crypto/hash.hpp"
#include "crypto/p256.hpp"
#include "json/members.hpp"
#include "json/record.hpp"
#include "oauth/thumbprint.hpp"

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
  if (!bytes) return std::unexpected(CoreError::jwt(cat("base64: ", bytes.error())));
  return std::move(*bytes);
}

std::string_view as_text(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

// The header's key identifier, once it has proved to be an ES256 header.
Result<std::optional<std::string>> header_key_id(std::string_view segment) {
  auto bytes = decode_b64url(segment);
  if (!bytes) return std::unexpected(bytes.error());
  static constexpr std::array<std::string_view, 2> kNames = {"alg", "kid"};
  std::array<json::StringSlot, kNames.size()> members;
  json::Cursor c(as_text(*bytes));
  if (!json::read_string_members(c, kNames, members) || !c.finish()) return std::unexpected(CoreError::jwt(c.error()));
  const auto& [alg, kid] = members;
  if (alg != "ES256") return std::unexpected(CoreError::jwt("alg must be ES256"));
  return kid ? std::optional<std::string>(*kid) : std::nullopt;
}

// A key set is any JSON value; its keys are the elements of the last "keys"
// member of its top-level object, if that member is an array.
bool read_key_set(json::Cursor& c, std::optional<std::vector<JwkMembers>>& keys) {
  if (!json::enter_object(c)) return c.skip_value();
  return json::for_each_member(c, [&](std::string_view name) {
    if (name != "keys") return c.skip_value();
    if (!json::enter_array(c)) {
      keys.reset();  // a later "keys" that is no array hides an earlier one
      return c.skip_value();
    }
    keys.emplace();
    return json::for_each_element(c, [&] { return read_jwk(c, keys->emplace_back()); });
  });
}

// A thumbprint is written as 64 lower-case hex digits, so only such a key
// identifier can name one; it names the digest those digits spell.
std::optional<Digest32> named_thumbprint(std::string_view kid) {
  if (kid.size() != 2 * Digest32{}.size() || kid.find_first_not_of("0123456789abcdef") != std::string_view::npos)
    return std::nullopt;
  Digest32 digest{};
  const Bytes bytes = hex_decode(kid).value();
  std::copy(bytes.begin(), bytes.end(), digest.begin());
  return digest;
}

// A key answers to its own "kid" or, failing that, to its thumbprint; a key
// whose thumbprint cannot be computed answers only to its "kid".
bool answers_to(const JwkMembers& key, std::string_view kid, const std::optional<Digest32>& thumbprint) {
  if (key.kid == kid) return true;
  if (!thumbprint) return false;
  const auto digest = key_thumbprint(key);
  return digest && *digest == *thumbprint;
}

// The first key that answers to the identifier, else the first key.
const JwkMembers& select_key(const std::vector<JwkMembers>& keys, const std::optional<std::string>& kid) {
  if (kid) {
    const auto thumbprint = named_thumbprint(*kid);
    for (const JwkMembers& key : keys)
      if (answers_to(key, *kid, thumbprint)) return key;
  }
  return keys.front();
}

// Only "x" and "y" are read: the key is taken to be a P-256 key whatever its
// "kty" and "crv" say, and the point itself decides whether it is one.
Result<p256::PublicKey> public_key(const JwkMembers& jwk) {
  if (!jwk.x) return std::unexpected(CoreError::bad_key("no x"));
  auto x = decode_b64url(*jwk.x);
  if (!x) return std::unexpected(x.error());
  if (!jwk.y) return std::unexpected(CoreError::bad_key("no y"));
  auto y = decode_b64url(*jwk.y);
  if (!y) return std::unexpected(y.error());
  if (x->size() != p256::kCoordinateSize || y->size() != p256::kCoordinateSize)
    return std::unexpected(CoreError::bad_key("x/y must be 32 bytes"));
  auto key = p256::PublicKey::from_affine(*x, *y);
  if (!key) return std::unexpected(CoreError::bad_key(std::string(kSignatureError)));
  return std::move(*key);
}

Result<p256::PublicKey> selected_key(std::string_view jwks_json, const std::optional<std::string>& kid) {
  json::Cursor c(jwks_json);
  std::optional<std::vector<JwkMembers>> keys;
  if (!read_key_set(c, keys) || !c.finish()) return std::unexpected(CoreError::bad_key(c.error()));
  if (!keys) return std::unexpected(CoreError::bad_key("no keys"));
  if (keys->empty()) return std::unexpected(CoreError::bad_key("no matching key"));
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
  if (!segments) return std::unexpected(CoreError::jwt("not a 3-part JWT"));
  auto kid = header_key_id(segments->header);
  if (!kid) return std::unexpected(kid.error());
  auto key = selected_key(jwks_json, *kid);
  if (!key) return std::unexpected(key.error());
  auto signature = decode_b64url(segments->signature);
  if (!signature) return std::unexpected(signature.error());

  // The signing input exactly as it stands in the token, never re-encoded.
  const std::string_view signing_input = jwt.substr(0, segments->header.size() + 1 + segments->payload.size());
  switch (key->verify(*signature, sha256(as_bytes(signing_input)))) {
    case p256::Verdict::Valid: return segments->payload;
    case p256::Verdict::Malformed: return std::unexpected(CoreError::jwt(std::string(kSignatureError)));
    case p256::Verdict::Mismatch: break;
  }
  return std::unexpected(CoreError::jwt("bad signature"));
}

Result<Claims> verify_token_at(std::string_view jwt, std::string_view jwks_json, std::string_view expected_iss,
                               std::string_view expected_aud, std::uint64_t now_unix) {
  auto payload_segment = verify_signature(jwt, jwks_json);
  if (!payload_segment) return std::unexpected(payload_segment.error());
  auto payload = decode_b64url(*payload_segment);
  if (!payload) return std::unexpected(payload.error());
  auto claims = json::parse_as<Claims>(as_text(*payload));
  if (!claims) return std::unexpected(CoreError::jwt(claims.error()));
  if (claims->iss != expected_iss) return std::unexpected(CoreError::claim("iss mismatch"));
  if (claims->aud != expected_aud) return std::unexpected(CoreError::claim("aud mismatch"));
  if (now_unix > expiry_limit(claims->exp)) return std::unexpected(CoreError::claim("expired"));
  return std::move(*claims);
}

}  // namespace qsdk::core
