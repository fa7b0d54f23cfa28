#include "oauth/thumbprint.hpp"

#include <array>

#include "base/codec.hpp"
#include "base/text.hpp"
#include "json/members.hpp"

namespace qsdk::core {
namespace {

// A member the thumbprint reads must be a JSON string; anything else is as
// good as missing.
Result<std::string_view> required(const std::optional<std::string>& member, std::string_view name) {
  if (!member) return std::unexpected(CoreError::bad_key(cat("missing ", name)));
  return *member;
}

}  // namespace

bool read_jwk(json::Cursor& c, JwkMembers& out) {
  static constexpr std::array<std::string_view, 5> kNames = {"kid", "kty", "crv", "x", "y"};
  std::array<json::StringSlot, kNames.size()> slots;
  if (!json::read_string_members(c, kNames, slots)) return false;
  out = {std::move(slots[0]), std::move(slots[1]), std::move(slots[2]), std::move(slots[3]), std::move(slots[4])};
  return true;
}

Result<Digest32> key_thumbprint(const JwkMembers& jwk) {
  auto kty = required(jwk.kty, "kty");
  if (!kty) return std::unexpected(kty.error());
  if (*kty != "EC") return std::unexpected(CoreError::bad_key("unsupported kty"));
  auto crv = required(jwk.crv, "crv");
  if (!crv) return std::unexpected(crv.error());
  auto x = required(jwk.x, "x");
  if (!x) return std::unexpected(x.error());
  auto y = required(jwk.y, "y");
  if (!y) return std::unexpected(y.error());
  // Hashed piece by piece: the canonical text is never needed whole.
  return sha256({as_bytes(R"({"crv":")"), as_bytes(*crv), as_bytes(R"(","kty":"EC","x":")"), as_bytes(*x),
                 as_bytes(R"(","y":")"), as_bytes(*y), as_bytes(R"("})")});
}

Result<std::string> issuer_key_id(std::string_view jwk_json) {
  json::Cursor c(jwk_json);
  JwkMembers jwk;
  if (!read_jwk(c, jwk) || !c.finish()) return std::unexpected(CoreError::bad_key(c.error()));
  auto digest = key_thumbprint(jwk);
  if (!digest) return std::unexpected(digest.error());
  return hex_encode(*digest);
}

}  // namespace qsdk::core
