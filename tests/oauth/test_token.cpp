#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <limits>

#include "base/codec.hpp"
#include "es256_issuer.hpp"
#include "json/record.hpp"
#include "oauth/thumbprint.hpp"
#include "oauth/token.hpp"
#include "testdata.hpp"

namespace qsdk::core {
namespace {

using es256::b64url;

constexpr std::string_view kIss = "https://issuer.example";
constexpr std::string_view kAud = "client-1";
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr std::string_view kOrderHex = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

struct Issuers {
  es256::Issuer a{es256::kSecret1}, b{es256::kSecret2}, c{es256::kSecret3};
};
const Issuers& issuers() {
  static const Issuers keys;
  return keys;
}
const es256::Issuer& A() { return issuers().a; }
const es256::Issuer& B() { return issuers().b; }
const es256::Issuer& C() { return issuers().c; }

std::string thumbprint(const es256::Issuer& i) { return issuer_key_id(i.jwk()).value(); }

std::string key_set(std::initializer_list<std::string> jwks) {
  std::string out = R"({"keys":[)";
  for (const std::string& k : jwks) out += (out.back() == '[' ? "" : ",") + k;
  return out + "]}";
}
// The usual set: three keys without "kid", named only by their thumbprints.
std::string three_keys() { return key_set({A().jwk(), B().jwk(), C().jwk()}); }

std::string header_with_kid(std::string_view kid) { return cat(R"({"alg":"ES256","kid":")", kid, R"("})"); }
std::string claims(std::uint64_t exp = 1000, std::string_view more = "") {
  return cat(R"({"iss":")", kIss, R"(","sub":"user-1","aud":")", kAud, R"(","exp":)", exp, R"(,"iat":900)", more, "}");
}
// A token the second key signs, naming it by thumbprint.
std::string token_by_b(std::string_view payload_json) { return B().token(header_with_kid(thumbprint(B())), payload_json); }

std::string b64_error(std::string_view text) { return cat("jwt: base64: ", base64url_decode(text).error()); }
std::string replace_segment(const std::string& jwt, int index, std::string_view segment) {
  const auto first = jwt.find('.'), second = jwt.find('.', first + 1);
  if (index == 0) return std::string(segment) + jwt.substr(first);
  if (index == 1) return jwt.substr(0, first + 1) + std::string(segment) + jwt.substr(second);
  return jwt.substr(0, second + 1) + std::string(segment);
}
std::string signature_of(const std::string& r, const std::string& s) { return b64url(r + s); }
std::string hex_bytes(std::string_view hex) {
  const Bytes b = hex_decode(hex).value();
  return std::string(b.begin(), b.end());
}

struct Failure {
  std::string what;
  std::string jwt;
  std::string jwks;
  std::string message;
  std::uint64_t now = 1000;
  bool prefix_only = false;  // a JSON parser message: its position varies
};

void expect_failures(const std::vector<Failure>& rows) {
  for (const Failure& r : rows) {
    const auto got = verify_token_at(r.jwt, r.jwks, kIss, kAud, r.now);
    if (got) {
      ADD_FAILURE() << r.what << ": verified";
      continue;
    }
    const std::string text = got.error().text();
    if (r.prefix_only) {
      EXPECT_TRUE(text.starts_with(r.message)) << r.what << ": " << text;
      EXPECT_NE(text.find(" at line 1 column "), std::string::npos) << r.what << ": " << text;
    } else {
      EXPECT_EQ(text, r.message) << r.what;
    }
  }
}

// One row per failure of the verification steps, in their order.
TEST(VerifyToken, TokenFormAndHeaderFailures) {
  const std::string good = token_by_b(claims());
  const std::string header_needing_padding = b64url(R"({"alg":"ES256"} )");
  expect_failures({
      {"four segments", good + ".e30", three_keys(), "jwt: not a 3-part JWT"},
      {"two segments", good.substr(0, good.rfind('.')), three_keys(), "jwt: not a 3-part JWT"},
      {"one segment", "abc", three_keys(), "jwt: not a 3-part JWT"},
      {"empty text", "", three_keys(), "jwt: not a 3-part JWT"},
      {"only dots", "...", three_keys(), "jwt: not a 3-part JWT"},
      {"header with = padding", replace_segment(good, 0, header_needing_padding + "=="), three_keys(),
       "jwt: base64: Invalid padding"},
      {"header with + symbol", replace_segment(good, 0, "eyJ+"), three_keys(), b64_error("eyJ+")},
      {"header of five symbols", replace_segment(good, 0, "eyJhb"), three_keys(), b64_error("eyJhb")},
      {"header not JSON", replace_segment(good, 0, b64url(R"({"alg":"ES256")")), three_keys(),
       "jwt: " + json::parse(R"({"alg":"ES256")").error()},
      {"empty header", replace_segment(good, 0, ""), three_keys(), "jwt: " + json::parse("").error()},
      {"alg in lower case", replace_segment(good, 0, b64url(R"({"alg":"es256"})")), three_keys(),
       "jwt: alg must be ES256"},
      {"alg ES384", replace_segment(good, 0, b64url(R"({"alg":"ES384"})")), three_keys(), "jwt: alg must be ES256"},
      {"alg none", replace_segment(good, 0, b64url(R"({"alg":"none"})")), three_keys(), "jwt: alg must be ES256"},
      {"alg with a space", replace_segment(good, 0, b64url(R"({"alg":"ES256 "})")), three_keys(),
       "jwt: alg must be ES256"},
      {"alg missing", replace_segment(good, 0, b64url(R"({"typ":"JWT"})")), three_keys(), "jwt: alg must be ES256"},
      {"alg not a string", replace_segment(good, 0, b64url(R"({"alg":["ES256"]})")), three_keys(),
       "jwt: alg must be ES256"},
      {"header an array", replace_segment(good, 0, b64url(R"(["ES256"])")), three_keys(), "jwt: alg must be ES256"},
      {"header a string", replace_segment(good, 0, b64url(R"("ES256")")), three_keys(), "jwt: alg must be ES256"},
      {"repeated alg, last not ES256", replace_segment(good, 0, b64url(R"({"alg":"ES256","alg":"none"})")),
       three_keys(), "jwt: alg must be ES256"},
  });
}

TEST(VerifyToken, KeySetAndKeyFailures) {
  const std::string good = token_by_b(claims());
  const std::string x = B().x(), y = B().y();
  const auto key = [](std::string_view members) { return key_set({cat("{", members, "}")}); };
  const std::string y_of_a = A().y();
  expect_failures({
      {"key set not JSON", good, R"({"keys":[})", "bad key: " + json::parse(R"({"keys":[})").error()},
      {"key set empty text", good, "", "bad key: " + json::parse("").error()},
      {"key set an array", good, cat("[", B().jwk(), "]"), "bad key: no keys"},
      {"key set without keys", good, R"({"Keys":[]})", "bad key: no keys"},
      {"keys an object", good, cat(R"({"keys":)", B().jwk(), "}"), "bad key: no keys"},
      {"keys null", good, R"({"keys":null})", "bad key: no keys"},
      {"keys empty", good, R"({"keys":[]})", "bad key: no matching key"},
      {"keys repeated, the last not an array", good, cat(R"({"keys":[)", B().jwk(), R"(],"keys":5})"),
       "bad key: no keys"},
      {"fault after the keys", good, cat(R"({"keys":[)", B().jwk(), R"(],"x":})"),
       "bad key: " + json::parse(cat(R"({"keys":[)", B().jwk(), R"(],"x":})")).error()},
      {"key without x", good, key(cat(R"("kty":"EC","y":")", y, "\"")), "bad key: no x"},
      {"x not a string", good, key(cat(R"("x":7,"y":")", y, "\"")), "bad key: no x"},
      {"x repeated, the last not a string", good, key(cat(R"("x":")", x, R"(","x":[],"y":")", y, "\"")),
       "bad key: no x"},
      {"x not base64url", good, key(cat(R"("x":"YP7U+","y":")", y, "\"")), b64_error("YP7U+")},
      {"x padded", good, key(cat(R"("x":")", x, R"(=","y":")", y, "\"")), b64_error(x + "=")},
      // x is decoded before y is looked at.
      {"x not base64url and no y", good, key(R"("x":"a")"), b64_error("a")},
      {"key without y", good, key(cat(R"("x":")", x, "\"")), "bad key: no y"},
      {"y null", good, key(cat(R"("x":")", x, R"(","y":null)")), "bad key: no y"},
      {"y not base64url", good, key(cat(R"("x":")", x, R"(","y":"v6h/")")), b64_error("v6h/")},
      {"x of 31 bytes", good, key(cat(R"("x":")", b64url(std::string(31, 'a')), R"(","y":")", y, "\"")),
       "bad key: x/y must be 32 bytes"},
      {"y of 33 bytes", good, key(cat(R"("x":")", x, R"(","y":")", b64url(std::string(33, 'a')), "\"")),
       "bad key: x/y must be 32 bytes"},
      {"empty coordinates", good, key(R"("x":"","y":"")"), "bad key: x/y must be 32 bytes"},
      {"point off the curve", good, key(cat(R"("x":")", x, R"(","y":")", y_of_a, "\"")), "bad key: signature error"},
      {"x equal to the field prime", good,
       key(cat(R"("x":")", b64url(hex_bytes("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff")),
               R"(","y":")", y, "\"")),
       "bad key: signature error"},
      // The key is built before the signature segment is even decoded.
      {"unusable key and no signature", replace_segment(good, 2, ""), key(R"("x":"","y":"")"),
       "bad key: x/y must be 32 bytes"},
  });
}

TEST(VerifyToken, SignatureFailures) {
  const std::string input = b64url(header_with_kid(thumbprint(B()))) + "." + b64url(claims());
  const std::string good = B().sign_segments(b64url(header_with_kid(thumbprint(B()))), b64url(claims()));
  const auto [r, s] = B().sign_rs(input);
  const std::string zero(32, '\0'), order = hex_bytes(kOrderHex);
  // A payload that is not JSON, signed by someone else: the signature is
  // checked before the payload is read.
  const std::string not_json = b64url("not json");
  const std::string forged = A().sign_segments(b64url(header_with_kid(thumbprint(B()))), not_json);
  expect_failures({
      {"signature not base64url", replace_segment(good, 2, "!"), three_keys(), b64_error("!")},
      {"signature padded", replace_segment(good, 2, signature_of(r, s) + "=="), three_keys(),
       b64_error(signature_of(r, s) + "==")},
      {"empty signature", input + ".", three_keys(), "jwt: signature error"},
      {"63-byte signature", replace_segment(good, 2, b64url((r + s).substr(1))), three_keys(), "jwt: signature error"},
      {"65-byte signature", replace_segment(good, 2, b64url(r + s + '\0')), three_keys(), "jwt: signature error"},
      {"DER signature", replace_segment(good, 2, b64url("\x30\x44\x02\x20" + r + "\x02\x20" + s)), three_keys(),
       "jwt: signature error"},
      {"r zero", replace_segment(good, 2, signature_of(zero, s)), three_keys(), "jwt: signature error"},
      {"s zero", replace_segment(good, 2, signature_of(r, zero)), three_keys(), "jwt: signature error"},
      {"r equal to n", replace_segment(good, 2, signature_of(order, s)), three_keys(), "jwt: signature error"},
      {"s equal to n", replace_segment(good, 2, signature_of(r, order)), three_keys(), "jwt: signature error"},
      {"s above n", replace_segment(good, 2, signature_of(r, std::string(32, '\xff'))), three_keys(),
       "jwt: signature error"},
      {"r and s swapped", replace_segment(good, 2, signature_of(s, r)), three_keys(), "jwt: bad signature"},
      {"payload changed after signing", replace_segment(good, 1, b64url(claims(2000))), three_keys(),
       "jwt: bad signature"},
      {"signed by a key other than the named one", A().token(header_with_kid(thumbprint(B())), claims()),
       three_keys(), "jwt: bad signature"},
      {"unverifiable payload that is not JSON", forged, three_keys(), "jwt: bad signature"},
      // Without "kty" a key has no thumbprint, so it does not answer to one.
      {"named key lacks kty", token_by_b(claims()),
       key_set({A().jwk(), cat(R"({"crv":"P-256","x":")", B().x(), R"(","y":")", B().y(), R"("})")}),
       "jwt: bad signature"},
      // The first key in the set that answers wins, by kid or by thumbprint.
      {"earlier thumbprint beats later kid", B().token(header_with_kid(thumbprint(A())), claims()),
       key_set({A().jwk(), B().jwk(cat(R"(,"kid":")", thumbprint(A()), "\""))}), "jwt: bad signature"},
  });
}

TEST(VerifyToken, PayloadAndClaimFailures) {
  const std::string signed_bad_base64 = B().sign_segments(b64url(header_with_kid(thumbprint(B()))), "e30=");
  const std::string six = cat(R"([")", kIss, R"(","user-1",")", kAud, R"(",1000,900,null])");
  const std::string eight = cat(R"([")", kIss, R"(","user-1",")", kAud, R"(",1000,900,null,null,1])");
  expect_failures({
      {"payload not base64url", signed_bad_base64, three_keys(), "jwt: base64: Invalid padding"},
      {"payload not JSON", token_by_b("foo"), three_keys(), "jwt: " + json::parse("foo").error()},
      {"payload empty", token_by_b(""), three_keys(), "jwt: " + json::parse("").error()},
      {"sub missing", token_by_b(cat(R"({"iss":")", kIss, R"(","aud":")", kAud, R"(","exp":1000,"iat":900})")),
       three_keys(), "jwt: missing field `sub`", 1000, true},
      {"iat missing", token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":")", kAud, R"(","exp":1000})")),
       three_keys(), "jwt: missing field `iat`", 1000, true},
      {"aud an array", token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":[")", kAud, R"("],"exp":1,"iat":1})")),
       three_keys(), "jwt: invalid type: ", 1000, true},
      {"exp given twice", token_by_b(claims(0, R"(,"exp":-1)")), three_keys(), "jwt: duplicate field `exp`", 1000, true},
      {"exp negative alone",
       token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":")", kAud, R"(","exp":-1,"iat":1})")), three_keys(),
       "jwt: invalid value: ", 1000, true},
      {"exp fractional",
       token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":")", kAud, R"(","exp":1000.5,"iat":1})")),
       three_keys(), "jwt: invalid type: ", 1000, true},
      {"exp beyond 64 bits",
       token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":")", kAud, R"(","exp":18446744073709551616,"iat":1})")),
       three_keys(), "jwt: invalid type: ", 1000, true},
      {"exp a string",
       token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":")", kAud, R"(","exp":"1000","iat":1})")),
       three_keys(), "jwt: invalid type: ", 1000, true},
      {"tid negative", token_by_b(claims(1000, R"(,"tid":-5)")), three_keys(), "jwt: invalid value: ", 1000, true},
      {"nonce a number", token_by_b(claims(1000, R"(,"nonce":5)")), three_keys(), "jwt: invalid type: ", 1000, true},
      {"iss twice", token_by_b(claims(1000, cat(R"(,"iss":")", kIss, "\""))), three_keys(),
       "jwt: duplicate field `iss`", 1000, true},
      {"nonce twice", token_by_b(claims(1000, R"(,"nonce":null,"nonce":"n")")), three_keys(),
       "jwt: duplicate field `nonce`", 1000, true},
      {"payload a string", token_by_b(R"("claims")"), three_keys(), "jwt: invalid type: ", 1000, true},
      {"array of six values", token_by_b(six), three_keys(),
       "jwt: invalid length 6, expected struct Claims with 7 elements", 1000, true},
      {"array of eight values", token_by_b(eight), three_keys(), "jwt: trailing characters", 1000, true},
      {"trailing characters", token_by_b(claims() + " x"), three_keys(), "jwt: trailing characters", 1000, true},
      {"iss with a trailing slash", token_by_b(cat(R"({"iss":")", kIss, R"(/","sub":"u","aud":")", kAud,
                                                   R"(","exp":1000,"iat":1})")),
       three_keys(), "claim: iss mismatch"},
      {"iss in another case", token_by_b(R"({"iss":"https://ISSUER.example","sub":"u","aud":"client-1","exp":1000,"iat":1})"),
       three_keys(), "claim: iss mismatch"},
      {"iss and aud both differ",
       token_by_b(R"({"iss":"https://other.example","sub":"u","aud":"client-2","exp":1000,"iat":1})"), three_keys(),
       "claim: iss mismatch"},
      {"aud differs", token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"u","aud":"Client-1","exp":1000,"iat":1})")),
       three_keys(), "claim: aud mismatch"},
      {"one second past the allowance", token_by_b(claims(1000)), three_keys(), "claim: expired", 1061},
      {"exp just below saturation", token_by_b(claims(kMax - 61)), three_keys(), "claim: expired", kMax},
  });
}

struct Success {
  std::string what;
  std::string jwt;
  std::string jwks;
  std::uint64_t now;
  Claims claims;
};

Claims expected(std::uint64_t exp = 1000, std::optional<std::uint64_t> tid = std::nullopt,
                std::optional<std::string> nonce = std::nullopt) {
  return {std::string(kIss), "user-1", std::string(kAud), exp, 900, tid, std::move(nonce)};
}

TEST(VerifyToken, Successes) {
  const std::string by_b = token_by_b(claims());
  const std::string input = by_b.substr(0, by_b.rfind('.'));
  const auto [r, s] = B().sign_rs(input);
  const std::string header = header_with_kid(thumbprint(B()));
  const std::vector<Success> rows = {
      {"now at exp", by_b, three_keys(), 1000, expected()},
      {"now at exp + 60", by_b, three_keys(), 1060, expected()},
      {"now long before exp", by_b, three_keys(), 0, expected()},
      {"exp at the top of the range", token_by_b(claims(kMax)), three_keys(), kMax, expected(kMax)},
      {"exp + 60 exactly at the top", token_by_b(claims(kMax - 60)), three_keys(), kMax, expected(kMax - 60)},
      {"high-s twin", input + "." + signature_of(r, es256::negate_mod_order(s)), three_keys(), 1000, expected()},
      {"no kid: the first key", A().token(R"({"alg":"ES256"})", claims()), three_keys(), 1000, expected()},
      {"unknown kid: the first key", A().token(header_with_kid("nope"), claims()), three_keys(), 1000, expected()},
      {"kid not a string: the first key", A().token(R"({"alg":"ES256","kid":7})", claims()), three_keys(), 1000,
       expected()},
      {"kid the thumbprint of the third key", C().token(header_with_kid(thumbprint(C())), claims()), three_keys(),
       1000, expected()},
      {"kid matching a key's own kid", C().token(header_with_kid("k3"), claims()),
       key_set({A().jwk(R"(,"kid":"k1")"), B().jwk(R"(,"kid":"k2")"), C().jwk(R"(,"kid":"k3")")}), 1000, expected()},
      {"thumbprint where the key's own kid differs", token_by_b(claims()),
       key_set({A().jwk(R"(,"kid":"k1")"), B().jwk(R"(,"kid":"k2")")}), 1000, expected()},
      {"thumbprint where the key's kid is a number", token_by_b(claims()),
       key_set({A().jwk(), B().jwk(R"(,"kid":2)")}), 1000, expected()},
      {"another crv on a P-256 point", C().token(header_with_kid("k3"), claims()),
       key_set({A().jwk(), cat(R"({"kty":"RSA","crv":"P-384","kid":"k3","x":")", C().x(), R"(","y":")", C().y(),
                               R"(","use":"enc","alg":"RS256"})")}),
       1000, expected()},
      {"repeated members: the last counts", B().token(R"({"alg":"none","kid":"x","alg":"ES256","kid":"k2"})", claims()),
       cat(R"({"keys":[],"keys":[)", A().jwk(), ",", B().jwk(R"(,"kid":"k1","kid":"k2")"), "]}"), 1000, expected()},
      {"header members ignored", B().token(cat(R"({"typ":"JWT","crit":["x"],"x5u":"\udc00","jwk":)", A().jwk(),
                                               R"(,"alg":"ES256","kid":")", thumbprint(B()), R"("})"),
                                           claims()),
       three_keys(), 1000, expected()},
      {"iat, nbf in the future and any nonce",
       token_by_b(cat(R"({"iss":")", kIss, R"(","sub":"user-1","aud":")", kAud,
                      R"(","exp":1000,"iat":5000,"nbf":5000,"nonce":"whatever","jti":"\udc00","extra":{"a":[1e400,{}]}})")),
       three_keys(), 1000, {std::string(kIss), "user-1", std::string(kAud), 1000, 5000, std::nullopt, "whatever"}},
      {"tid and nonce null", token_by_b(claims(1000, R"(,"tid":null,"nonce":null)")), three_keys(), 1000, expected()},
      {"tid and nonce given", token_by_b(claims(1000, R"(,"tid":18446744073709551615,"nonce":"n-1")")), three_keys(),
       1000, expected(1000, kMax, "n-1")},
      {"the seven values as an array",
       token_by_b(cat(R"( [")", kIss, R"(","user-1",")", kAud, R"(",1000,900,7,"n"] )")), three_keys(), 1000,
       expected(1000, 7, "n")},
      {"white space around the payload", token_by_b(" \r\n\t" + claims() + "\n "), three_keys(), 1000, expected()},
  };
  for (const Success& row : rows) {
    const auto got = verify_token_at(row.jwt, row.jwks, kIss, kAud, row.now);
    ASSERT_TRUE(got) << row.what << ": " << got.error().text();
    EXPECT_EQ(*got, row.claims) << row.what;
  }
}

std::string key_set_of(const rapidjson::Value& jwk) {
  return key_set({cat(R"({"x":")", jwk["x"].GetString(), R"(","y":")", jwk["y"].GetString(), R"("})")});
}

// Published tokens: the signatures verify, and neither payload is a claim set
// of this format, so each then fails on its first missing member.
TEST(VerifyToken, PublishedTokensVerifyThenLackClaims) {
  struct Row {
    const char* file;
    const char* token;
    const char* key;
    const char* message;
  } rows[] = {
      {"rfc/rfc7515_a3_es256_jws.json", "jws_compact", "jwk", "jwt: missing field `sub` at line "},
      {"rfc/rfc9449_dpop_es256_and_jkt.json", "dpop_proof_jws", "public_jwk", "jwt: missing field `iss` at line "},
  };
  for (const Row& r : rows) {
    QSDK_LOAD_TESTDATA(doc, r.file);
    const std::string jwt = doc[r.token].GetString(), jwks = key_set_of(doc[r.key]);
    EXPECT_TRUE(verify_signature(jwt, jwks)) << r.file;
    const auto got = verify_token_at(jwt, jwks, "joe", "", 0);
    ASSERT_FALSE(got) << r.file;
    EXPECT_TRUE(got.error().text().starts_with(r.message)) << got.error().text();
  }
}

// Wycheproof's ES256 JWS cases, judged by the signature: its "valid" token
// carries the payload "foo", and its encryption-key cases are refused there
// only for "use"/"key_ops", which this verification does not examine.
TEST(VerifyToken, WycheproofEs256SignatureOutcomes) {
  QSDK_LOAD_TESTDATA(doc, "wycheproof/json_web_signature_test.json");
  int checked = 0;
  for (const auto& group : doc["testGroups"].GetArray()) {
    const std::string_view comment = group["comment"].GetString();
    if (comment != "es256" && comment != "SpecialCaseEs256" && comment != "ec_key_for_encryption") continue;
    if (std::string_view(group["public"]["kty"].GetString()) != "EC") continue;
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> w(text);
    group["public"].Accept(w);
    const std::string jwks = cat(R"({"keys":[)", std::string_view(text.GetString(), text.GetSize()), "]}");
    for (const auto& t : group["tests"].GetArray()) {
      if (!t.HasMember("jws")) continue;
      const bool expect_valid = std::string_view(t["result"].GetString()) == "valid" || comment == "ec_key_for_encryption";
      const auto got = verify_signature(t["jws"].GetString(), jwks);
      EXPECT_EQ(got.has_value(), expect_valid) << "tcId " << t["tcId"].GetInt() << " " << t["comment"].GetString()
                                               << (got ? "" : ": " + got.error().text());
      ++checked;
    }
  }
  EXPECT_EQ(checked, 41);
}

}  // namespace
}  // namespace qsdk::core
