#include <gtest/gtest.h>

#include "origin/origin.hpp"

namespace qsdk::core {
namespace {

const std::string kScheme = "origin: must start with https:// or http://";
const std::string kPath = "origin: must be scheme://host[:port], optionally with one trailing slash, and no path";
const std::string kForbidden =
    "origin: contains a forbidden character \u2014 userinfo ('@'), query ('?'), fragment ('#') and "
    "percent-encoding ('%') are not allowed in a bare scheme://host[:port] origin";
const std::string kUnterminated = "origin: unterminated IPv6 literal \u2014 missing ']'";
const std::string kEmptyV6 = "origin: empty IPv6 literal '[]'";
const std::string kAfterV6 = "origin: unexpected characters after an IPv6 literal's ']'";
const std::string kV6Port = "origin: port must be all-digit after an IPv6 literal";
const std::string kColons =
    "origin: a bare host must not contain more than one ':' \u2014 wrap an IPv6 literal in '[...]'";
const std::string kPort = "origin: port must be all-digit";
const std::string kEmptyHost = "origin: host must not be empty";

struct Case {
  std::string input;
  std::string want;  // canonical text, or the refusal detail
  bool ok;
};

TEST(NormalizeOrigin, EdgeList) {
  const std::vector<Case> cases = {
      {"https://HoSt:443/", "https://host", true},
      {"http://HOST:80", "http://host", true},
      {"https://host:80", "https://host:80", true},
      {"http://host:443", "http://host:443", true},
      {"https://host:0443", "https://host:0443", true},
      {"https://host:99999", "https://host:99999", true},
      {"https://host:8443/", "https://host:8443", true},
      {"https://[::1]:443", "https://[::1]", true},
      {"http://[FE80::1]:80/", "http://[fe80::1]", true},
      {"https://[zz]", "https://[zz]", true},
      {"https://H\xc3\x89llo.example", "https://h\xc3\x89llo.example", true},
      {"https://host//", kPath, false},
      {"https://", kPath, false},
      {"https:///", kPath, false},
      {"https://host/path", kPath, false},
      {"HTTPS://host", kScheme, false},
      {" https://host", kScheme, false},
      {"ftp://host", kScheme, false},
      {"http:/host", kScheme, false},
      {"", kScheme, false},
      {"https://user@host", kForbidden, false},
      {"https://host?x", kForbidden, false},
      {"https://host#x", kForbidden, false},
      {"https://host%41", kForbidden, false},
      {"https://host ", kForbidden, false},
      {"https://host\t", kForbidden, false},
      {"https://ho\\st", kForbidden, false},
      {"https://ho|st", kForbidden, false},
      {"https://ho\x7fst", kForbidden, false},
      {"https://ho\xc2\x85st", kForbidden, false},
      {"https://ho\xc2\xa0st", kForbidden, false},
      {"https://ho\xe3\x80\x80st", kForbidden, false},
      {"https://ho\xe2\x80\x8ast", kForbidden, false},
      {"https://ho\xe2\x80\xa8st", kForbidden, false},
      {std::string("https://ho\0st", 13), kForbidden, false},
      {"https://ho\xffst", kForbidden, false},       // not UTF-8
      {"https://ho\xc3", kForbidden, false},         // cut short
      {"https://h\xef\xbf\xbd.example", "https://h\xef\xbf\xbd.example", true},  // U+FFFD itself
      {"https://[::1", kUnterminated, false},
      {"https://[]", kEmptyV6, false},
      {"https://[::1]x", kAfterV6, false},
      {"https://[::1]:", kV6Port, false},
      {"https://[::1]:8a", kV6Port, false},
      {"https://::1", kColons, false},
      {"https://host:1:2", kColons, false},
      {"https://host:", kPort, false},
      {"https://host:x", kPort, false},
      {"https://:8080", kEmptyHost, false},
      {"https://:", kPort, false},
  };
  for (const auto& c : cases) {
    auto r = normalize_origin(c.input);
    if (c.ok) {
      ASSERT_TRUE(r.has_value()) << c.input << ": " << r.error().text();
      EXPECT_EQ(*r, c.want) << c.input;
      EXPECT_EQ(normalize_origin(*r), r) << "canonical form must be a fixed point: " << c.input;
    } else {
      ASSERT_FALSE(r.has_value()) << c.input << " -> " << *r;
      EXPECT_EQ(r.error(), CoreError::input(c.want)) << c.input;
    }
  }
}

}  // namespace
}  // namespace qsdk::core
