#include "core/thumbprint.hpp"

#include <array>

#include "core/codec.hpp"
#include "json/members.hpp"
#include "core/text.hpp"

namespace qsdk::core {
namespace {

// A member the thumbprint reads must be a JSON string; anything else is as
// good as missing.
Result<std::string_view> required(const std::optional<std::string_view>& member, std::string_view name) {
  if (!member) return fail(CoreError::bad_key(cat("missing ", name)));
  return *member;
}

}  // namespace

bool read_jwk(json::Cursor& c, JwkMembers& out) {
  static constexpr std::array<std::string_view, 5> kNames = {"kid", "kty", "crv", "x", "y"};
  std::array<json::StringSlot, kNames.size()> slots;
  if (!json::read_string_members(c, kNames, slots)) return false;
  out = {slots[0], slots[1], slots[2], slots[3], slots[4]};
  return true;
}

Result<Digest32> key_thumbprint(const JwkMembers& jwk) {
  auto kty = required(jwk.kty, "kty");
  if (!kty) return fail(kty.error());
  if (*kty != "EC") return fail(CoreError::bad_key("unsupported kty"));
  auto crv = required(jwk.crv, "crv");
  if (!crv) return fail(crv.error());
  auto x = required(jwk.x, "x");
  if (!x) return fail(x.error());
  auto y = required(jwk.y, "y");
  if (!y) return fail(y.error());
  // Hashed piece by piece: the canonical text is never needed whole.
  return sha256({as_bytes(R"({"crv":")"), as_bytes(*crv), as_bytes(R"(","kty":"EC","x":")"), as_bytes(*x),
                 as_bytes(R"(","y":")"), as_bytes(*y), as_bytes(R"("})")});
}

Result<std::string> issuer_key_id(std::string_view jwk_json) {
  const json::Tape tape(jwk_json);
  json::Cursor c(tape);
  JwkMembers jwk;
  if (!read_jwk(c, jwk) || !c.finish()) return fail(CoreError::bad_key(c.error()));
  auto digest = key_thumbprint(jwk);
  if (!digest) return fail(digest.error());
  return hex_encode(*digest);
}

}  // namespace qsdk::core
