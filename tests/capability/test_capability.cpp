#include <gtest/gtest.h>

#include "base/text.hpp"
#include "capability/capability.hpp"
#include "capability/capability_json.hpp"
#include "deed/deed.hpp"

namespace qsdk::core {
namespace {

const std::string kLabel = "0102030405060708091011121314151617181920212223242526272829303132";

std::string link_json(std::string_view extra = "", std::string_view label = kLabel) {
  return cat(R"({"iss":"i","to":"t","grants":[],"exp":9,"epoch_label":")", label, R"(","epoch":3,"sig":"ab")", extra,
             "}");
}

struct RoundTrip {
  std::string input;
  std::string canonical;
};

TEST(CapabilityJson, GrantListsComeBackCanonical) {
  const std::string g = R"({"res":"r","act":["a"],"cav":{}})";
  const std::vector<RoundTrip> cases = {
      {"[]", "[]"},
      {" [ ] ", "[]"},
      {"[" + g + "]", "[" + g + "]"},
      {R"([{"res":"r","act":[],"cav":{}}])", R"([{"res":"r","act":[],"cav":{}}])"},
      {R"([{"res":"r","act":["a"],"cav":{"nb":{}}}])", "[" + g + "]"},
      {R"([{"res":"r","act":["a"],"cav":{"exp":null,"max_uses":null}}])", "[" + g + "]"},
      {"[\n  {\"cav\": {\"max_uses\": 3, \"exp\": 5}, \"act\": [\"b\", \"a\"], \"res\": \"r\", \"x\": [1, {}]}\n]",
       R"([{"res":"r","act":["b","a"],"cav":{"exp":5,"max_uses":3}}])"},
      // Out of order, with members left out as defaults before, between and after the others.
      {R"([{"cav":{"max_uses":null,"nb":{"k":1},"exp":5,"zz":0},"act":[],"res":"r"},)"
       R"({"cav":{"nb":{},"exp":2,"max_uses":null},"res":"s","act":[]}])",
       R"([{"res":"r","act":[],"cav":{"exp":5,"nb":{"k":1}}},{"res":"s","act":[],"cav":{"exp":2}}])"},
      {R"([["r",["a"],[null,null,{}]],["s",[],[1,null,{"k":true}]]])",
       R"([{"res":"r","act":["a"],"cav":{}},{"res":"s","act":[],"cav":{"exp":1,"nb":{"k":true}}}])"},
      // nb: sorted by bytes at every level, the last of a repeated name kept.
      {R"([{"res":"r","act":[],"cav":{"nb":{"b":1,"a":{"d":[{"y":1,"x":2}],"c":null},"b":2}}}])",
       R"([{"res":"r","act":[],"cav":{"nb":{"a":{"c":null,"d":[{"x":2,"y":1}]},"b":2}}}])"},
      {"[{\"res\":\"r\",\"act\":[],\"cav\":{\"nb\":{\"\xc3\xa9\":1,\"z\":2,\"Z\":3,\"a b\":4}}}]",
       "[{\"res\":\"r\",\"act\":[],\"cav\":{\"nb\":{\"Z\":3,\"a b\":4,\"z\":2,\"\xc3\xa9\":1}}}]"},
      // nb numbers as the value model holds them.
      {R"([{"res":"r","act":[],"cav":{"nb":{"n":[1.50,100,-0,1e16,1.5e-7,0.00001,18446744073709551615,)"
       R"(18446744073709551616,-9223372036854775808,-9223372036854775809,5e-324,1.7976931348623157e308]}}}])",
       R"([{"res":"r","act":[],"cav":{"nb":{"n":[1.5,100,-0.0,1e16,1.5e-7,0.00001,18446744073709551615,)"
       R"(1.8446744073709552e19,-9223372036854775808,-9.223372036854776e18,5e-324,1.7976931348623157e308]}}}])"},
      // Zeros with any exponent; skipped members of any magnitude.
      {R"([{"res":"r","act":[],"cav":{"nb":{"n":[0e309,-0E+400,0.0e310,0e99999999999]}}}])",
       R"([{"res":"r","act":[],"cav":{"nb":{"n":[0.0,-0.0,0.0,0.0]}}}])"},
      {R"([{"res":"r","zz":1e400,"act":[],"cav":{}}])", R"([{"res":"r","act":[],"cav":{}}])"},
      {R"([{"res":"r","act":[],"cav":{"zz":["\udc00",-1e99999]}}])", R"([{"res":"r","act":[],"cav":{}}])"},
      // Minimal escaping: control characters, quote and backslash only.
      {R"([{"res":"\u0001\t\"\\\/\u007f\u00e9","act":["\n\u001F"],"cav":{}}])",
       "[{\"res\":\"\\u0001\\t\\\"\\\\/\x7f\xc3\xa9\",\"act\":[\"\\n\\u001f\"],\"cav\":{}}]"},
  };
  for (const auto& c : cases) {
    const auto grants = parse_grant_list(c.input);
    ASSERT_TRUE(grants.has_value()) << c.input << ": " << grants.error().text();
    EXPECT_EQ(write_grant_list(*grants), c.canonical) << c.input;
    EXPECT_EQ(canonical_grant_list(c.input), c.canonical) << c.input;
  }
  EXPECT_EQ(g.size(), 32u);
}

TEST(CapabilityJson, LinksComeBackCanonical) {
  const std::string upper = "ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789";
  const std::string lower = "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789";
  const std::vector<RoundTrip> cases = {
      {link_json(), link_json()},
      {link_json(R"(,"pubkey":null,"kind":null,"extra":{"a":[1]})"), link_json()},
      {link_json("", upper), link_json("", lower)},
      {link_json(R"(,"salt":"s","root":"r","proof":"p","kind":"k","pubkey":"pk")"),
       link_json(R"(,"pubkey":"pk","kind":"k","proof":"p","root":"r","salt":"s")")},
      {cat(R"(["i","t",[],9,")", kLabel, R"(",3,"ab",null,null,null,null,null])"), link_json()},
      {cat(R"( { "sig" : "ab" , "epoch" : 3 , "epoch_label" : ")", kLabel,
           R"(" , "exp" : 9 , "grants" : [ ] , "to" : "t" , "iss" : "i" } )"),
       link_json()},
  };
  for (const auto& c : cases) {
    const auto link = parse_delegation(c.input);
    ASSERT_TRUE(link.has_value()) << c.input << ": " << link.error().text();
    EXPECT_EQ(write_delegation(*link), c.canonical) << c.input;
    EXPECT_EQ(canonical_delegation(c.input), c.canonical) << c.input;
  }
  const auto chain = parse_delegation_chain("[" + link_json() + " , " + link_json(R"(,"pubkey":"02ab")") + "]");
  ASSERT_TRUE(chain.has_value());
  EXPECT_EQ(write_delegation_chain(*chain), "[" + link_json() + "," + link_json(R"(,"pubkey":"02ab")") + "]");
}

struct ParseFailure {
  std::string input;
  std::string message;  // after "input: "
};

// Parsing, and reading straight into the canonical text, fail alike.
template <class Parse, class Canonical>
void expect_input_failures(Parse parse, Canonical canonical, const std::vector<ParseFailure>& cases) {
  for (const auto& c : cases) {
    const auto r = parse(c.input);
    ASSERT_FALSE(r.has_value()) << c.input;
    EXPECT_EQ(r.error().kind(), ErrorKind::Input) << c.input;
    EXPECT_EQ(r.error().text(), "input: " + c.message) << c.input;
    const auto direct = canonical(c.input);
    ASSERT_FALSE(direct.has_value()) << c.input;
    EXPECT_EQ(direct.error(), r.error()) << c.input;
  }
}

TEST(CapabilityJson, GrantListFailures) {
  expect_input_failures(parse_grant_list, canonical_grant_list, {
      {R"({"res":"r"})", "invalid type: map, expected a sequence at line 1 column 1"},
      {R"(["r"])", "invalid type: string \"r\", expected struct Grant at line 1 column 4"},
      {R"([{"res":"r","act":[]}])", "missing field `cav` at line 1 column 21"},
      {R"([{"res":"r","act":[],"cav":{},"res":"s"}])", "duplicate field `res` at line 1 column 35"},
      {R"([{"res":null,"act":[],"cav":{}}])", "invalid type: null, expected a string at line 1 column 12"},
      {R"([{"res":"r","act":"a","cav":{}}])", "invalid type: string \"a\", expected a sequence at line 1 column 21"},
      {R"([{"res":"r","act":[1],"cav":{}}])", "invalid type: integer `1`, expected a string at line 1 column 20"},
      {R"([{"res":"r","act":[],"cav":null}])", "invalid type: null, expected struct Caveats at line 1 column 31"},
      {R"([{"res":"r","act":[],"cav":{"exp":-1}}])", "invalid value: integer `-1`, expected u64 at line 1 column 36"},
      {R"([{"res":"r","act":[],"cav":{"exp":-9223372036854775809}}])",
       "invalid value: integer `-9223372036854775809`, expected u64 at line 1 column 54"},
      {R"([{"res":"r","act":[],"cav":{"nb":{"n":1e400}}}])", "number out of range at line 1 column 39"},
      {R"([{"res":"r","act":[],"cav":{"exp":1.5}}])",
       "invalid type: floating point `1.5`, expected u64 at line 1 column 37"},
      {R"([{"res":"r","act":[],"cav":{"max_uses":"3"}}])",
       "invalid type: string \"3\", expected u64 at line 1 column 42"},
      {R"([{"res":"r","act":[],"cav":{"exp":1,"exp":2}}])", "duplicate field `exp` at line 1 column 41"},
      {R"([{"res":"r","act":[],"cav":{"nb":null}}])", "invalid type: null, expected a map at line 1 column 37"},
      {R"([{"res":"r","act":[],"cav":{"nb":[]}}])", "invalid type: sequence, expected a map at line 1 column 34"},
      {R"([["r",["a"]]])", "invalid length 2, expected struct Grant with 3 elements at line 1 column 12"},
      {R"([["r",["a"],{},1]])", "trailing characters at line 1 column 16"},
      {R"([["r",[],[null,null]]])", "invalid length 2, expected struct Caveats with 3 elements at line 1 column 20"},
      {R"([["r",[],[null,null,null]]])", "invalid type: null, expected a map at line 1 column 24"},
      {R"([] [])", "trailing characters at line 1 column 4"},
      {R"([{"res":"r","act":[],"cav":{}},])", "trailing comma at line 1 column 32"},
      {"", "EOF while parsing a value at line 1 column 1"},
  });
}

TEST(CapabilityJson, LinkFailures) {
  const std::string no_sig = cat(R"({"iss":"i","to":"t","grants":[],"exp":9,"epoch_label":")", kLabel, R"(","epoch":3})");
  expect_input_failures(parse_delegation, canonical_delegation, {
      {no_sig, cat("missing field `sig` at line 1 column ", no_sig.size())},
      {R"({"iss":null})", "invalid type: null, expected a string at line 1 column 11"},
      {link_json(R"(,"pubkey":"a","pubkey":null)"), "duplicate field `pubkey` at line 1 column 163"},
      {link_json("", kLabel.substr(0, 62)), "epoch_label must be 32 bytes at line 1 column 118"},
      {link_json("", kLabel + "00"), "epoch_label must be 32 bytes at line 1 column 122"},
      {link_json("", "0x" + kLabel), "Invalid character 'x' at position 1 at line 1 column 122"},
      {link_json("", kLabel.substr(1)), "Odd number of digits at line 1 column 119"},
      {link_json("", "zz" + kLabel.substr(2)), "Invalid character 'z' at position 0 at line 1 column 120"},
      {R"({"epoch_label":5})", "invalid type: integer `5`, expected a string at line 1 column 16"},
      {link_json(R"(,"kind":7)"), "invalid type: integer `7`, expected a string at line 1 column 150"},
      {R"(["i","t",[],9])", "invalid length 4, expected struct Delegation with 12 elements at line 1 column 14"},
      {cat(R"(["i","t",[],9,")", kLabel, R"(",3,"ab",null,null,null,null,null,null])"),
       "trailing characters at line 1 column 114"},
      {"[" + link_json() + "]", "invalid type: map, expected a string at line 1 column 2"},
  });
  expect_input_failures(parse_delegation_chain, canonical_delegation_chain, {
      {link_json(), "invalid type: map, expected a sequence at line 1 column 1"},
      {"[" + link_json() + "," + no_sig + "]", cat("missing field `sig` at line 1 column ", 2 + link_json().size() + no_sig.size())},
  });
}

TEST(CapabilityJson, NestingCountsFromTheList) {
  // The list, the grant, cav and nb are four levels; nb may hold 123 more.
  const auto grants_with = [](std::size_t inner) {
    return R"([{"res":"r","act":[],"cav":{"nb":{"k":)" + std::string(inner, '[') + std::string(inner, ']') + "}}}]";
  };
  EXPECT_TRUE(parse_grant_list(grants_with(123)).has_value());
  EXPECT_EQ(parse_grant_list(grants_with(124)).error().text(),
            "input: recursion limit exceeded at line 1 column 162");
  // A grant given as an array wants its resource first.
  EXPECT_EQ(parse_grant_list(std::string(1'000'000, '[')).error().text(),
            "input: invalid type: sequence, expected a string at line 1 column 3");
  EXPECT_EQ(parse_grant_list(grants_with(1'000'000)).error().text(),
            "input: recursion limit exceeded at line 1 column 162");
}

// ---------------------------------------------------------------------------
// Binding, links and parent references

Bytes be64(std::uint64_t v) {
  Bytes out;
  for (int s = 56; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  return out;
}

Bytes concat(std::initializer_list<ByteView> parts) {
  Bytes out;
  for (ByteView p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::array<std::uint8_t, 32> filled(std::uint8_t b) {
  std::array<std::uint8_t, 32> a{};
  a.fill(b);
  return a;
}

TEST(Delegation, BindingLayout) {
  const Bytes b = delegation_binding(0, Delegation{}, Digest32{});
  ASSERT_EQ(b.size(), 130u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 16), "quorvel-deleg-v1");
  EXPECT_EQ(std::string(b.begin() + 48, b.begin() + 50), "[]");

  Delegation link;
  link.iss = "issuer \xc3\xa9";
  link.to = "to";
  link.grants = *parse_grant_list(R"([{"act":["read"],"res":"doc","cav":{"nb":{}}}])");
  link.exp = 1'700'000'000;
  link.epoch_label = filled(0xaa);
  link.epoch = 42;
  const std::uint64_t tenant = 0x0102030405060708;
  const Digest32 parent = filled(0x55);
  const std::string grants = R"([{"res":"doc","act":["read"],"cav":{}}])";
  const Bytes want = concat({as_bytes("quorvel-deleg-v1"), be64(tenant), be64(link.iss.size()), as_bytes(link.iss),
                             be64(2), as_bytes("to"), be64(grants.size()), as_bytes(grants), be64(link.exp),
                             link.epoch_label, be64(42), parent});
  EXPECT_EQ(delegation_binding(tenant, link, parent), want);
  EXPECT_EQ(want.size(), 128 + link.iss.size() + link.to.size() + grants.size());

  // The signature and the key are not covered.
  Delegation signed_link = link;
  signed_link.sig = "00";
  signed_link.pubkey = "02";
  EXPECT_EQ(delegation_binding(tenant, signed_link, parent), want);
}

TEST(Delegation, LinkCarriesTheTermsAndTheSignature) {
  Delegation terms;
  terms.iss = "i";
  terms.to = "t";
  terms.exp = 9;
  terms.epoch_label = filled(0x01);
  terms.epoch = 3;
  const Bytes sig{0xAB, 0x0C};
  const Delegation link = delegate(terms, sig, std::string("not hex \"at all\""));
  EXPECT_EQ(write_delegation(link),
            cat(R"({"iss":"i","to":"t","grants":[],"exp":9,"epoch_label":")", hex_encode(filled(0x01)),
                R"(","epoch":3,"sig":"ab0c","pubkey":"not hex \"at all\""})"));
  EXPECT_FALSE(delegate(terms, {}, std::nullopt).pubkey.has_value());
  EXPECT_EQ(delegate(terms, {}, std::nullopt).sig, "");
}

TEST(Delegation, ParentReferences) {
  EXPECT_EQ(hex_encode(parent_ref_hash(RootId{""})),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(parent_ref_hash(RootId{"abc"}), sha256(as_bytes("abc")));

  const auto link = *parse_delegation(link_json(R"(,"pubkey":"pk")"));
  EXPECT_EQ(parent_ref_hash(link), sha256(as_bytes(link_json(R"(,"pubkey":"pk")"))));
  const auto spaced = *parse_delegation("\n" + link_json(R"(, "pubkey" : "pk", "extra": 1, "salt": null)") + " ");
  EXPECT_EQ(parent_ref_hash(spaced), parent_ref_hash(link));
  Delegation other_sig = link;
  other_sig.sig = "ac";
  EXPECT_NE(parent_ref_hash(other_sig), parent_ref_hash(link));
  Delegation no_key = link;
  no_key.pubkey.reset();
  EXPECT_NE(parent_ref_hash(no_key), parent_ref_hash(link));
}

TEST(Delegation, CapabilityMintReplacesBothLists) {
  Deed deed;
  deed.mode = "agent-zk";
  deed.sub = "s";
  deed.grants = *canonical_grant_list(R"([{"res":"old","act":[],"cav":{}}])");
  deed.delegations = *canonical_delegation_chain("[" + link_json() + "]");
  const auto grants = *canonical_grant_list(R"([{"res":"new","act":[],"cav":{}}])");
  const Deed out = mint_capability_deed(deed, grants, "[]");
  EXPECT_EQ(out.grants, grants);
  EXPECT_EQ(out.delegations, "[]");
  Deed rest = out;
  rest.grants = deed.grants;
  rest.delegations = deed.delegations;
  EXPECT_EQ(rest, deed);
}

}  // namespace
}  // namespace qsdk::core
