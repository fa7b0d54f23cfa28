#include "core/thumbprint.hpp"

#include "core/codec.hpp"
#include "core/hash.hpp"
#include "core/text.hpp"

namespace qsdk::core {
namespace {

// A member the thumbprint reads must be a JSON string; anything else is as
// good as missing.
Result<std::string_view> string_member(const json::Value& jwk, std::string_view name) {
  const json::Value* m = jwk.member(name);
  const std::string* s = m != nullptr ? m->as_string() : nullptr;
  if (s == nullptr) return fail(CoreError::bad_key(cat("missing ", name)));
  return std::string_view(*s);
}

}  // namespace

std::string thumbprint_input(std::string_view crv, std::string_view x, std::string_view y) {
  return cat(R"({"crv":")", crv, R"(","kty":"EC","x":")", x, R"(","y":")", y, R"("})");
}

Result<std::string> key_thumbprint(const json::Value& jwk) {
  auto kty = string_member(jwk, "kty");
  if (!kty) return fail(kty.error());
  if (*kty != "EC") return fail(CoreError::bad_key("unsupported kty"));
  auto crv = string_member(jwk, "crv");
  if (!crv) return fail(crv.error());
  auto x = string_member(jwk, "x");
  if (!x) return fail(x.error());
  auto y = string_member(jwk, "y");
  if (!y) return fail(y.error());
  return hex_encode(sha256(as_bytes(thumbprint_input(*crv, *x, *y))));
}

Result<std::string> issuer_key_id(std::string_view jwk_json) {
  auto jwk = json::parse(jwk_json);
  if (!jwk) return fail(CoreError::bad_key(jwk.error()));
  return key_thumbprint(*jwk);
}

}  // namespace qsdk::core
