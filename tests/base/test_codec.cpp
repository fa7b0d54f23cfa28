#include <gtest/gtest.h>

#include "base/codec.hpp"
#include "base/error.hpp"

namespace qsdk::core {
namespace {

struct HexCase {
  std::string input;
  std::optional<Bytes> bytes;
  std::string error;
};

TEST(Hex, DecodesStrictly) {
  const std::vector<HexCase> cases = {
      {"", Bytes{}, ""},
      {"abcd", Bytes{0xab, 0xcd}, ""},
      {"AbCd", Bytes{0xab, 0xcd}, ""},
      {"0", std::nullopt, "Odd number of digits"},
      {"zzzzz", std::nullopt, "Odd number of digits"},
      {"zz", std::nullopt, "Invalid character 'z' at position 0"},
      {"0g", std::nullopt, "Invalid character 'g' at position 1"},
      {"0xab", std::nullopt, "Invalid character 'x' at position 1"},
      {"00\n0", std::nullopt, "Invalid character '\\n' at position 2"},
      {std::string("0\x01", 2), std::nullopt, "Invalid character '\\u{1}' at position 1"},
      {"0'", std::nullopt, "Invalid character '\\'' at position 1"},
      {"0\"", std::nullopt, "Invalid character '\"' at position 1"},
      {"0\\", std::nullopt, "Invalid character '\\\\' at position 1"},
      {std::string("0\0", 2), std::nullopt, "Invalid character '\\0' at position 1"},
      {"0\x7f", std::nullopt, "Invalid character '\\u{7f}' at position 1"},
      {"0\xc3\xa9" "0", std::nullopt, "Invalid character '\xc3\x83' at position 1"},
      {"0\xa0", std::nullopt, "Invalid character '\\u{a0}' at position 1"},
      {"0\xad", std::nullopt, "Invalid character '\\u{ad}' at position 1"},
      {"0\xff", std::nullopt, "Invalid character '\xc3\xbf' at position 1"},
  };
  for (const auto& c : cases) {
    auto r = hex_decode(c.input);
    if (c.bytes) {
      ASSERT_TRUE(r.has_value()) << c.input << ": " << r.error();
      EXPECT_EQ(*r, *c.bytes) << c.input;
    } else {
      ASSERT_FALSE(r.has_value()) << c.input;
      EXPECT_EQ(r.error(), c.error) << c.input;
    }
  }
}

TEST(Hex, EncodesLowerCase) {
  EXPECT_EQ(hex_encode(Bytes{}), "");
  EXPECT_EQ(hex_encode(Bytes{0xab, 0xcd, 0x00, 0x0f}), "abcd000f");
}

TEST(Hex, PrefixRules) {
  EXPECT_EQ(strip_one_0x("0xab"), "ab");
  EXPECT_EQ(strip_one_0x("0Xab"), "ab");
  EXPECT_EQ(strip_one_0x("0x0xab"), "0xab");
  EXPECT_EQ(strip_every_0x("0x0x0xab"), "ab");
  EXPECT_EQ(strip_every_0x("0Xab"), "0Xab");
  EXPECT_EQ(strip_every_0x("0x"), "");
}

struct B64Case {
  std::string input;
  std::optional<std::string> decoded;
  std::string error;
};

TEST(Base64url, DecodesStrictly) {
  const std::vector<B64Case> cases = {
      {"", "", ""},
      {"Zg", "f", ""},
      {"Zm8", "fo", ""},
      {"Zm9v", "foo", ""},
      {"Zm9vYg", "foob", ""},
      {"Zm9vYmE", "fooba", ""},
      {"Zm9vYmFy", "foobar", ""},
      {"-_-_", "\xfb\xff\xbf", ""},
      {"Zg==", std::nullopt, "Invalid padding"},
      {"Zm8=", std::nullopt, "Invalid padding"},
      {"Zm9v+A", std::nullopt, "Invalid symbol 43, offset 4."},
      {"Zm9v/A", std::nullopt, "Invalid symbol 47, offset 4."},
      {"Zm9vY", std::nullopt, "Invalid input length: 5"},
      {"Z=", std::nullopt, "Invalid symbol 61, offset 1."},
      {"Zm=v", std::nullopt, "Invalid symbol 61, offset 2."},
      {"Z=9vZm9v", std::nullopt, "Invalid symbol 61, offset 1."},
      {"Zh", std::nullopt, "Invalid last symbol 104, offset 1."},
      {"Zm9", std::nullopt, "Invalid last symbol 57, offset 2."},
      {"Zm 9v", std::nullopt, "Invalid symbol 32, offset 2."},
  };
  for (const auto& c : cases) {
    auto r = base64url_decode(c.input);
    if (c.decoded) {
      ASSERT_TRUE(r.has_value()) << c.input << ": " << r.error();
      EXPECT_EQ(std::string(r->begin(), r->end()), *c.decoded) << c.input;
      EXPECT_EQ(base64url_encode(*r), c.input);
    } else {
      ASSERT_FALSE(r.has_value()) << c.input;
      EXPECT_EQ(r.error(), c.error) << c.input;
    }
  }
}

TEST(CoreError, TextFormAndPrefixes) {
  EXPECT_EQ(CoreError::jwt("x").text(), "jwt: x");
  EXPECT_EQ(CoreError::bad_key("x").text(), "bad key: x");
  EXPECT_EQ(CoreError::claim("x").text(), "claim: x");
  EXPECT_EQ(CoreError::crypto("x").text(), "crypto: x");
  EXPECT_EQ(CoreError::input("origin: must start with https:// or http://").text(),
            "input: origin: must start with https:// or http://");
  EXPECT_EQ(CoreError::insecure_origin("x").text(), "insecure origin: x");
}

}  // namespace
}  // namespace qsdk::core
