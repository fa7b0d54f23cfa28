#include "robust/catalogue.hpp"

#include <optional>
#include <stdexcept>
#include <string_view>

namespace robust {
namespace {

const std::string kKey = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const std::string kAddr = "52908400098527886e0f7030069857d2e4169ee7";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
// r = the generator's x coordinate, s = 1, v = 27: any message recovers to
// some key, so the signature is accepted wherever one is only recovered.
const std::string kSig65 = kG.substr(2) + std::string(62, '0') + "01" + "1b";
const std::string kGrants = R"([{"res":"r","act":["a"],"cav":{"exp":5,"nb":{"a":1,"b":[1.5]}}}])";
const std::string kGrantsSpelled = R"([["r",["a"],[5,null,{"b":[15e-1],"a":1}]]])";
const std::string kIss = "https://issuer.example";
const std::string kJwk =
    R"({"kty":"EC","crv":"P-256","x":"p_it7GC8p5khD5C2uOgbNDXcmHWPB1MDCfBq_yrSLWY","y":"Bry19LF3ot_gi1XCGtnZWfA7t1f-BjdQdwlh4t83bj4"})";
const std::string kJwks = R"({"keys":[)" + kJwk + "]}";
// Signed by kJwk's key: iss kIss, sub user-1, aud client-1, exp 2000, iat 900, tid 7, nonce n-1.
const std::string kJwt =
    "eyJhbGciOiJFUzI1NiJ9.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEiLCJleHAi"
    "OjIwMDAsImlhdCI6OTAwLCJ0aWQiOjcsIm5vbmNlIjoibi0xIn0.mNW82WRx2VNFM2x-KdeJ14tCSg_L-Wp0vLg4-UrrpIdk77EIKO8i2fUule5xvTqs"
    "YlEqdE8EQdzWWn9p8fNjXw";

// A 32-byte ABI word holding a small value.
Bytes word(std::uint8_t v) {
  Bytes b(32, 0);
  b.back() = v;
  return b;
}

Arg t(std::string_view s) { return Arg::text(s); }
Arg n(std::uint64_t v) { return Arg::u64(v); }

// The eight arguments delegation_binding and delegate share.
std::vector<Arg> terms(const std::string& grants, const std::string& label = kLabel,
                       const std::string& parent = kParent) {
  return {n(7), t("i"), t("t"), t(grants), n(9), t(label), n(3), t(parent)};
}
std::vector<Arg> link_args(const std::string& grants, const std::optional<std::string>& pubkey,
                           const std::string& sig) {
  auto args = terms(grants);
  args.push_back(opt_text(pubkey));
  args.push_back(t(sig));
  return args;
}

host::Deed carrying(const std::string& grants, const std::string& chain) {
  host::Deed d;
  d.grants = grants;
  d.delegations = chain;
  return d;
}

std::vector<Case> build() {
  const auto ok = Expect::Ok;
  const auto sdk = Expect::Sdk;
  const auto internal = Expect::Internal;
  const std::string link = link_json();
  std::vector<Case> cases;
  const auto add = [&](std::string_view op, std::string label, std::vector<Arg> args, Expect e) {
    cases.push_back({op_index(op), std::move(label), std::move(args), e});
  };

  add("normalize_origin", "canonical", {t(kOrigin)}, ok);
  add("normalize_origin", "spelled", {t("https://RP.Example:443/")}, ok);
  add("normalize_origin", "no scheme", {t("rp.example")}, sdk);
  add("normalize_origin", "path", {t("https://rp.example/login")}, sdk);
  add("user_binding", "ok", {n(7), t("rp"), t(kOrigin), t("c1"), n(99)}, ok);
  add("user_binding", "path", {n(7), t("rp"), t("https://rp.example/x"), t("c1"), n(99)}, sdk);
  add("user_sub", "compressed", {t(kG)}, ok);
  add("user_sub", "prefixed", {t("0x" + kG)}, sdk);
  add("user_sub", "empty", {t("")}, sdk);
  add("mint_user_deed", "ok", {t(kKey), n(1), t("a"), t(kOrigin), t("c"), n(2)}, ok);
  add("mint_user_deed", "zero key", {t(std::string(64, '0')), n(1), t("a"), t(kOrigin), t("c"), n(2)}, sdk);
  add("mint_user_deed", "bad origin", {t(kKey), n(1), t("a"), t("rp.example"), t("c"), n(2)}, sdk);
  add("user_root_binding", "ok", {t(kOrigin)}, ok);
  add("user_root_binding", "path", {t("https://rp.example/p")}, sdk);
  add("derive_root_seed", "ok", {t(kOrigin), t("00ff1b"), t("00FF1B")}, ok);
  add("derive_root_seed", "differ", {t(kOrigin), t("00ff1b"), t("00ff1c")}, sdk);
  add("derive_root_seed", "odd", {t(kOrigin), t("00ff1b"), t("abc")}, sdk);
  add("derive_app_key", "ok", {t(std::string(64, 'a')), n(1), t(kOrigin)}, ok);
  add("derive_app_key", "short seed", {t(""), n(1), t(kOrigin)}, sdk);
  add("passkey_sub", "ok", {n(7), t(kOrigin), t("04ABCDEF")}, ok);
  add("passkey_sub", "raw origin", {n(7), t("not an origin"), t("")}, ok);
  add("mint_user_passkey_deed", "ok",
      {t("04AB"), t("AuthData"), t("eyJ9"), t("30FF"), n(7), t("rp"), t(kOrigin), t("c"), n(99)}, ok);
  add("mint_user_passkey_deed", "path",
      {t(""), t(""), t(""), t(""), n(7), t("rp"), t("https://rp.example/x"), t(""), n(0)}, sdk);
  add("mint_user_1271_deed", "ok", {t(kAddr), t("0xABCD"), n(7), t("rp"), t(kOrigin), t("c"), n(99)}, ok);
  add("mint_user_1271_deed", "short address", {t(kAddr.substr(2)), t("zz"), n(7), t("rp"), t(kOrigin), t("c"), n(99)},
      sdk);
  add("mint_admin_deed", "ok", {t(kSig65), n(7), t("rp"), t("c1"), n(99)}, ok);
  add("mint_admin_deed", "prefixed twice", {t("0x0X" + kSig65), n(7), t("rp"), t("c1"), n(99)}, sdk);
  add("mint_admin_deed", "short", {t(kSig65.substr(2)), n(7), t("rp"), t("c1"), n(99)}, sdk);
  add("mint_admin_deed_smartwallet", "ok", {t(kAddr), t("abcd"), n(7), t("rp"), t("c1"), n(99)}, ok);
  add("mint_admin_deed_smartwallet", "long address", {t(kAddr + "00"), t(""), n(7), t("rp"), t("c"), n(1)}, sdk);
  add("delegation_binding", "ok", terms(kGrants), ok);
  add("delegation_binding", "spelled", terms(kGrantsSpelled), ok);
  add("delegation_binding", "grants object", terms("{}"), sdk);
  add("delegation_binding", "short label", terms("[]", std::string(kLabel).substr(2)), sdk);
  add("delegation_binding", "bad parent", terms("[]", kLabel, "zz"), sdk);
  add("delegate", "ok", link_args(kGrants, "02aa", "0xABCD"), ok);
  add("delegate", "no pubkey", link_args("[]", std::nullopt, "0x0xABCDef"), ok);
  add("delegate", "bad signature", link_args("[]", std::nullopt, "0X12"), sdk);
  add("delegate", "malformed grants", link_args("[{\"res\":\"r\"", std::nullopt, "00"), sdk);
  add("parent_ref_hash_root", "ok", {t("did:key:abc")}, ok);
  add("parent_ref_hash_root", "empty", {t("")}, ok);
  add("parent_ref_hash_link", "canonical", {t(link)}, ok);
  add("parent_ref_hash_link", "array", {t("[]")}, sdk);
  add("parent_ref_hash_link", "missing sig", {t(link.substr(0, link.find(R"(,"sig")")) + "}")}, sdk);
  add("mint_capability_deed", "ok", {deed({}), t(kGrants), t("[" + link + "," + link + "]")}, ok);
  add("mint_capability_deed", "replaces", {deed(carrying("[]", "[" + link + "]")), t(kGrantsSpelled), t("[]")}, ok);
  add("mint_capability_deed", "deed grants", {deed(carrying("[1]", "[]")), t("[]"), t("[]")}, sdk);
  add("mint_capability_deed", "chain", {deed({}), t("[]"), t(R"([{"iss":"i"}])")}, sdk);
  add("origin_vouch_binding", "ok", {n(7), t("rp"), t(kOrigin), n(1), n(100), Arg::flag(0)}, ok);
  add("origin_vouch_binding", "allowed", {n(7), t("rp"), t("http://localhost:3000"), n(1), n(100), Arg::flag(1)}, ok);
  add("origin_vouch_binding", "insecure", {n(7), t("rp"), t("http://localhost"), n(1), n(100), Arg::flag(0)}, sdk);
  add("origin_vouch_binding", "malformed", {n(7), t("rp"), t("localhost"), n(1), n(100), Arg::flag(0)}, sdk);
  add("origin_vouch_binding", "bad bool", {n(7), t("rp"), t(kOrigin), n(1), n(100), Arg::flag(2)}, internal);
  add("origin_vouch_signer", "ok", {n(7), t("rp"), t(kOrigin), n(1), n(100), t(kSig65)}, ok);
  add("origin_vouch_signer", "short", {n(7), t("rp"), t(kOrigin), n(1), n(100), t("00")}, sdk);
  add("origin_vouch_max_ttl_secs", "call", {}, ok);
  add("is_origin_voucher_calldata", "ok", {n(7), t("0x" + kAddr), n(1)}, ok);
  add("is_origin_voucher_calldata", "short", {n(7), t("0x1234"), n(1)}, sdk);
  add("decode_bool_return", "true", {byte_array(word(1))}, ok);
  add("decode_bool_return", "false", {byte_array(word(0))}, ok);
  add("decode_bool_return", "short", {byte_array(Bytes(31, 0))}, sdk);
  add("decode_bool_return", "empty", {byte_array({})}, sdk);
  add("decode_bool_return", "junk", {Arg::raw({0, 0, 0, 4, 1, 2, 3, 4, 5})}, internal);
  add("generate_pkce", "call", {}, ok);
  add("pkce_challenge", "ok", {t("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")}, ok);
  add("build_authorize_url", "ok",
      {t(kIss + "/tenant/"), t("client"), t("https://app.example/cb"), t("st&x=1"), t("n"), t("ch")}, ok);
  add("build_authorize_url", "relative", {t("/authorize"), t("c"), t("r"), t("s"), t("n"), t("c")}, sdk);
  add("build_client_assertion", "ok", {t("example.com"), n(7), t("n"), n(1700000000)}, ok);
  add("sign_client_assertion", "ok", {t(kKey), t("example.com"), n(7), t("n"), n(1700000000)}, ok);
  add("sign_client_assertion", "short key", {t("00"), t("example.com"), n(7), t("n"), n(1)}, sdk);
  add("verify_token_at", "ok", {t(kJwt), t(kJwks), t(kIss), t("client-1"), n(1000)}, ok);
  add("verify_token_at", "expired", {t(kJwt), t(kJwks), t(kIss), t("client-1"), n(3000)}, sdk);
  add("verify_token_at", "other audience", {t(kJwt), t(kJwks), t(kIss), t("other"), n(1000)}, sdk);
  add("verify_token_at", "no keys", {t(kJwt), t(R"({"keys":[]})"), t(kIss), t("client-1"), n(1000)}, sdk);
  add("issuer_key_id", "ok", {t(kJwk)}, ok);
  add("issuer_key_id", "rsa", {t(R"({"kty":"RSA","n":"AQAB","e":"AQAB"})")}, sdk);
  return cases;
}

}  // namespace

std::string link_json() {
  return R"({"iss":"i","to":"t","grants":)" + kGrants + R"(,"exp":9,"epoch_label":")" + kLabel +
         R"(","epoch":3,"sig":"abcd","pubkey":"02aa"})";
}

const std::vector<Case>& catalogue() {
  static const std::vector<Case> cases = build();
  return cases;
}

const Case& accepted(std::size_t op) {
  for (const Case& c : catalogue())
    if (c.op == op && c.expect == Expect::Ok) return c;
  throw std::invalid_argument("no accepted argument set for " + std::string(op_name(op)));
}

}  // namespace robust
