#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "base/codec.hpp"
#include "base/text.hpp"
#include "crypto/hash.hpp"
#include "json/record.hpp"
#include "oauth/thumbprint.hpp"
#include "testdata.hpp"

namespace qsdk::core {
namespace {

// The first test issuer's public key (secret c9afa9d8…6721), and its RFC 7638
// canonical text written out member by member.
constexpr std::string_view kX = "YP7UuiVanTHJYet0xjVtaMBJuJI7Yfps5mliLmDyn7Y";
constexpr std::string_view kY = "eQP-EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk";
constexpr std::string_view kCanonical =
    R"({"crv":"P-256","kty":"EC","x":"YP7UuiVanTHJYet0xjVtaMBJuJI7Yfps5mliLmDyn7Y",)"
    R"("y":"eQP-EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk"})";
constexpr std::string_view kThumbprint = "0cebf1bc9880748a95588905b79843b42ba75cb174055e3e246bf87fe00b4a6d";

std::string jwk(std::string_view members) { return cat("{", members, "}"); }

TEST(Thumbprint, OwnKeyAgreesWithTheHandWrittenCanonicalText) {
  EXPECT_EQ(hex_encode(sha256(as_bytes(kCanonical))), kThumbprint);
  const std::string x = std::string(kX), y = std::string(kY);
  const std::string spellings[] = {
      jwk(R"("kty":"EC","crv":"P-256","x":")" + x + R"(","y":")" + y + "\""),
      jwk(R"("y":")" + y + R"(","x":")" + x + R"(","crv":"P-256","kty":"EC")"),
      " {\n\t\"x\" : \"" + x + "\" , \"kty\":\"EC\",\r\n\"y\":\"" + y + "\",\"crv\":\"P-256\"}\n ",
      jwk(R"("kid":"k1","use":"sig","alg":"ES256","kty":"EC","crv":"P-256","x":")" + x + R"(","y":")" + y +
          R"(","d":"yK-p2EW6dRZrXCFXZ7HWk05Qw9s26JsSe4piKxIPZyE","key_ops":["verify"],"ext":true)"),
      // An escaped character is inserted as the character it stands for.
      jwk(R"("kty":"E\u0043","crv":"P\u002d256","x":")" + x + R"(","y":")" + y + "\""),
      // Other members are only checked for grammar.
      jwk(R"("kty":"EC","crv":"P-256","extra":0e309,"big":-1e400,"s":"\udc00","x":")" + x + R"(","y":")" + y + "\""),
      // A repeated member: the last one counts.
      jwk(R"("kty":"RSA","crv":"P-384","kty":"EC","crv":"P-256","x":"AAAA","x":")" + x + R"(","y":")" + y + "\""),
  };
  for (const std::string& text : spellings) EXPECT_EQ(issuer_key_id(text), kThumbprint) << text;
}

TEST(Thumbprint, Rfc9449JktOfItsEcKey) {
  QSDK_LOAD_TESTDATA(doc, "rfc/rfc9449_dpop_es256_and_jkt.json");
  const auto& key = doc["public_jwk"];
  const auto id = issuer_key_id(
      jwk(cat(R"("kty":")", key["kty"].GetString(), R"(","x":")", key["x"].GetString(), R"(","y":")",
              key["y"].GetString(), R"(","crv":")", key["crv"].GetString(), "\"")));
  ASSERT_TRUE(id) << id.error().text();
  EXPECT_EQ(*id, doc["jkt_hex_derived"].GetString());
  // The hex form decodes to the same 32 bytes as the published base64url jkt.
  EXPECT_EQ(base64url_encode(hex_decode(*id).value()), doc["jkt"].GetString());
}

// The RFC's only worked example is an RSA key: it checks the hashing and the
// encoding, while the key itself is one issuer_key_id refuses.
TEST(Thumbprint, Rfc7638RsaExampleHashingAndRefusal) {
  QSDK_LOAD_TESTDATA(doc, "rfc/rfc7638_s3_1_jwk_thumbprint.json");
  const Digest32 digest = sha256(as_bytes(doc["canonical_json"].GetString()));
  Bytes octets;
  for (const auto& v : doc["sha256_octets"].GetArray()) octets.push_back(static_cast<std::uint8_t>(v.GetUint()));
  EXPECT_EQ(Bytes(digest.begin(), digest.end()), octets);
  EXPECT_EQ(base64url_encode(digest), doc["thumbprint_base64url"].GetString());
  EXPECT_EQ(hex_encode(digest), doc["thumbprint_hex_derived"].GetString());

  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> w(text);
  doc["jwk"].Accept(w);
  const auto id = issuer_key_id(std::string_view(text.GetString(), text.GetSize()));
  ASSERT_FALSE(id);
  EXPECT_EQ(id.error().text(), "bad key: unsupported kty");
}

TEST(Thumbprint, OnlyPresenceAndKtyAreChecked) {
  // Neither the curve nor the coordinates are examined.
  EXPECT_EQ(issuer_key_id(R"({"kty":"EC","crv":"secp256k1","x":"not base64!","y":""})"),
            hex_encode(sha256(as_bytes(R"({"crv":"secp256k1","kty":"EC","x":"not base64!","y":""})"))));
}

TEST(Thumbprint, Refusals) {
  const std::string x = std::string(kX), y = std::string(kY);
  struct Row {
    std::string text;
    std::string message;
  } rows[] = {
      {jwk(R"("kty":"RSA","n":"AQAB","e":"AQAB")"), "bad key: unsupported kty"},
      {jwk(R"("kty":"ec","crv":"P-256","x":")" + x + R"(","y":")" + y + "\""), "bad key: unsupported kty"},
      {jwk(R"("kty":"EC ","crv":"P-256","x":")" + x + R"(","y":")" + y + "\""), "bad key: unsupported kty"},
      {jwk(R"("crv":"P-256","x":")" + x + R"(","y":")" + y + "\""), "bad key: missing kty"},
      {jwk(R"("kty":null,"crv":"P-256","x":")" + x + R"(","y":")" + y + "\""), "bad key: missing kty"},
      {jwk(R"("kty":"EC","x":")" + x + R"(","y":")" + y + "\""), "bad key: missing crv"},
      {jwk(R"("kty":"EC","crv":256,"x":")" + x + R"(","y":")" + y + "\""), "bad key: missing crv"},
      {jwk(R"("kty":"EC","crv":"P-256","x":1,"y":")" + y + "\""), "bad key: missing x"},
      {jwk(R"("kty":"EC","crv":"P-256","x":")" + x + "\""), "bad key: missing y"},
      {jwk(R"("kty":"EC","crv":"P-256","x":")" + x + R"(","y":[")" + y + "\"]"), "bad key: missing y"},
      {"[]", "bad key: missing kty"},
      {R"(["kty","EC"])", "bad key: missing kty"},
      {"null", "bad key: missing kty"},
      {R"("EC")", "bad key: missing kty"},
  };
  for (const Row& r : rows) {
    const auto id = issuer_key_id(r.text);
    ASSERT_FALSE(id) << r.text;
    EXPECT_EQ(id.error().text(), r.message) << r.text;
  }
}

TEST(Thumbprint, TextThatIsNotOneJsonValueCarriesTheParserMessage) {
  const std::string texts[] = {"", "{", R"({"kty":"EC"} x)", "{\"kty\":\"EC\",}", "{} {}"};
  for (const std::string& text : texts) {
    const auto id = issuer_key_id(text);
    ASSERT_FALSE(id) << text;
    EXPECT_EQ(id.error().kind(), ErrorKind::BadKey) << text;
    EXPECT_EQ(id.error().detail(), json::parse(text).error()) << text;
    EXPECT_NE(id.error().detail().find(" at line 1 column "), std::string::npos) << id.error().detail();
  }
}

}  // namespace
}  // namespace qsdk::core
