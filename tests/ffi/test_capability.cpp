// Capability exports through the C interface: delegation bindings and links,
// parent references and capability deeds.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <array>
#include <optional>
#include <string>

#include "ffi/host.hpp"

namespace {

using host::Bytes;
using host::TextOutcome;

using BindingFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustBuffer,
                             std::uint64_t, RustBuffer, RustCallStatus*);
using DelegateFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustBuffer,
                              std::uint64_t, RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);
using TextFn = RustBuffer(RustBuffer, RustCallStatus*);
using MintFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);

const std::string kLabel = "0102030405060708091011121314151617181920212223242526272829303132";
const std::string kParent = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string sha256_hex(std::string_view s) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d);
  return hex(std::string_view(reinterpret_cast<const char*>(d), sizeof d));
}

std::string be64_hex(std::uint64_t v) {
  std::string raw;
  for (int s = 56; s >= 0; s -= 8) raw += static_cast<char>(v >> s);
  return hex(raw);
}

// The eight arguments the binding and the link share.
struct Terms {
  std::uint64_t tenant = 7;
  std::string iss = "i";
  std::string to = "t";
  std::string grants = "[]";
  std::uint64_t exp = 9;
  std::string label = kLabel;
  std::uint64_t epoch = 3;
  std::string parent = kParent;
};

TextOutcome binding(const Terms& t) {
  auto* fn = host::lib().op<BindingFn>("delegation_binding");
  return host::text_outcome([&](RustCallStatus* st) {
    return fn(t.tenant, host::text(t.iss), host::text(t.to), host::text(t.grants), t.exp, host::text(t.label),
              t.epoch, host::text(t.parent), st);
  });
}

RustBuffer optional_text(const std::optional<std::string>& s) {
  Bytes b;
  host::put_opt_string(b, s);
  return host::buffer(b);
}

TextOutcome delegate_raw(const Terms& t, RustBuffer pubkey, const std::string& sig) {
  auto* fn = host::lib().op<DelegateFn>("delegate");
  return host::text_outcome([&](RustCallStatus* st) {
    return fn(t.tenant, host::text(t.iss), host::text(t.to), host::text(t.grants), t.exp, host::text(t.label),
              t.epoch, host::text(t.parent), pubkey, host::text(sig), st);
  });
}

TextOutcome delegate(const Terms& t, const std::optional<std::string>& pubkey, const std::string& sig) {
  return delegate_raw(t, optional_text(pubkey), sig);
}

TextOutcome text_op(const char* name, const std::string& arg) {
  auto* fn = host::lib().op<TextFn>(name);
  return host::text_outcome([&](RustCallStatus* st) { return fn(host::text(arg), st); });
}

std::string ok(const TextOutcome& o) {
  EXPECT_EQ(o.code, 0) << o.message;
  return o.value;
}

void expect_sdk(const TextOutcome& o, const std::string& message) {
  EXPECT_EQ(o.code, 1) << o.value;
  EXPECT_EQ(o.variant, host::kSdk);
  EXPECT_EQ(o.message, message);
}

// ---------------------------------------------------------------------------
// delegation_binding

TEST(DelegationBinding, Layout) {
  Terms empty;
  empty.iss = "";
  empty.to = "";
  const std::string b = ok(binding(empty));
  ASSERT_EQ(b.size(), 260u);
  EXPECT_EQ(b, hex("quorvel-deleg-v1") + be64_hex(7) + be64_hex(0) + be64_hex(0) + be64_hex(2) + hex("[]") +
                   be64_hex(9) + kLabel + be64_hex(3) + kParent);

  Terms t;
  t.tenant = 0xfedcba9876543210;
  t.iss = "did:key:\xc3\xa9";
  t.to = "agent";
  t.grants = R"([{"res":"doc","act":["read"],"cav":{"max_uses":2}}])";
  EXPECT_EQ(ok(binding(t)), hex("quorvel-deleg-v1") + be64_hex(t.tenant) + be64_hex(10) + hex(t.iss) + be64_hex(5) +
                                hex("agent") + be64_hex(t.grants.size()) + hex(t.grants) + be64_hex(9) + kLabel +
                                be64_hex(3) + kParent);
}

TEST(DelegationBinding, EverySpellingOfTheSameValuesBindsAlike) {
  Terms canonical;
  canonical.grants = R"([{"res":"r","act":["a"],"cav":{"exp":5,"nb":{"a":1,"b":[1.5]}}}])";
  const std::string want = ok(binding(canonical));
  for (const std::string& grants : {
           std::string(" [ {\n\"cav\" : { \"nb\" : {\"b\":[1.50],\"a\":1}, \"exp\":5, \"max_uses\":null },"
                       " \"act\":[\"a\"], \"res\":\"r\", \"note\":\"dropped\" } ] "),
           std::string(R"([["r",["a"],[5,null,{"b":[15e-1],"a":1}]]])"),
       }) {
    Terms t = canonical;
    t.grants = grants;
    EXPECT_EQ(ok(binding(t)), want) << grants;
  }
  Terms upper = canonical;
  for (char& c : upper.label) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (char& c : upper.parent) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ok(binding(upper)), want);

  Terms no_nb = canonical;
  no_nb.grants = R"([{"res":"r","act":[],"cav":{"nb":{}}}])";
  Terms bare = canonical;
  bare.grants = R"([{"res":"r","act":[],"cav":{}}])";
  EXPECT_EQ(ok(binding(no_nb)), ok(binding(bare)));
}

struct TermsFailure {
  std::string what;
  Terms terms;
  std::string message;
};

std::vector<TermsFailure> terms_failures() {
  const auto with = [](auto change) {
    Terms t;
    change(t);
    return t;
  };
  return {
      {"grants as object", with([](Terms& t) { t.grants = "{}"; }),
       "input: invalid type: map, expected a sequence at line 1 column 1"},
      {"grants malformed", with([](Terms& t) { t.grants = "[{\"res\":\"r\""; }),
       "input: EOF while parsing an object at line 1 column 12"},
      {"label odd", with([](Terms& t) { t.label = "abc"; }), "crypto: Odd number of digits"},
      {"label prefixed", with([](Terms& t) { t.label = "0x" + kLabel; }),
       "crypto: Invalid character 'x' at position 1"},
      {"label short", with([](Terms& t) { t.label = kLabel.substr(2); }), "expected 32 bytes of hex"},
      {"label empty", with([](Terms& t) { t.label = ""; }), "expected 32 bytes of hex"},
      {"parent long", with([](Terms& t) { t.parent = kParent + "00"; }), "expected 32 bytes of hex"},
      {"parent bad digit", with([](Terms& t) { t.parent = "zz" + kParent.substr(2); }),
       "crypto: Invalid character 'z' at position 0"},
      {"grants before label", with([](Terms& t) {
         t.grants = "x";
         t.label = "0";
       }),
       "input: expected value at line 1 column 1"},
      {"label before parent", with([](Terms& t) {
         t.label = "00";
         t.parent = "0";
       }),
       "expected 32 bytes of hex"},
  };
}

TEST(DelegationBinding, FailuresInOrder) {
  for (const auto& c : terms_failures()) {
    SCOPED_TRACE(c.what);
    expect_sdk(binding(c.terms), c.message);
  }
}

// ---------------------------------------------------------------------------
// delegate

TEST(Delegate, AssemblesTheCanonicalLink) {
  const std::string head = R"({"iss":"i","to":"t","grants":[],"exp":9,"epoch_label":")" + kLabel + R"(","epoch":3,)";
  struct Case {
    std::optional<std::string> pubkey;
    std::string sig;
    std::string json;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "0x0xABCDef", head + R"("sig":"abcdef"})"},
      {std::nullopt, "", head + R"("sig":""})"},
      {std::nullopt, "0x", head + R"("sig":""})"},
      {"0X02AB", "00", head + R"("sig":"00","pubkey":"0X02AB"})"},
      {"any \"text\" \xc3\xa9", "ff", head + "\"sig\":\"ff\",\"pubkey\":\"any \\\"text\\\" \xc3\xa9\"}"},
      {"", "ff", head + R"("sig":"ff","pubkey":""})"},
  };
  for (const auto& c : cases) EXPECT_EQ(ok(delegate(Terms{}, c.pubkey, c.sig)), c.json) << c.sig;

  // Grants are re-written; the tenant and parent bind only the signature.
  Terms t;
  t.grants = R"([{"act":["a"],"res":"r","cav":{"nb":{}}}])";
  Terms other_tenant = t;
  other_tenant.tenant = 8;
  other_tenant.parent = kLabel;
  const std::string link = ok(delegate(t, std::nullopt, "01"));
  EXPECT_NE(link.find(R"("grants":[{"res":"r","act":["a"],"cav":{}}])"), std::string::npos) << link;
  EXPECT_EQ(ok(delegate(other_tenant, std::nullopt, "01")), link);
}

TEST(Delegate, FailuresInOrder) {
  for (const auto& c : terms_failures()) {
    SCOPED_TRACE(c.what);
    expect_sdk(delegate(c.terms, std::nullopt, "not hex"), c.message);
  }
  expect_sdk(delegate(Terms{}, std::nullopt, "0X12"), "crypto: Invalid character 'X' at position 1");
  expect_sdk(delegate(Terms{}, std::nullopt, "0x0x1"), "crypto: Odd number of digits");
  expect_sdk(delegate(Terms{}, std::nullopt, "0xg0"), "crypto: Invalid character 'g' at position 0");
}

TEST(Delegate, OptionalPublicKeyBufferIsChecked) {
  const TextOutcome tag = delegate_raw(Terms{}, host::buffer({0x02}), "00");
  EXPECT_EQ(tag.code, 2);
  EXPECT_EQ(tag.message, "Failed to convert arg 'pubkey_hex':\nunexpected tag byte for Option");
  const TextOutcome empty = delegate_raw(Terms{}, host::buffer({}), "00");
  EXPECT_EQ(empty.code, 2);
  EXPECT_EQ(empty.message, "Failed to convert arg 'pubkey_hex':\nnot enough bytes remaining in buffer (0 < 1)");
}

// ---------------------------------------------------------------------------
// parent references

TEST(ParentRef, RootHashesTheIdentityAsGiven) {
  EXPECT_EQ(ok(text_op("parent_ref_hash_root", "")), kParent);
  for (const std::string_view id : {"abc", " user:1 ", "\xc3\xa9"})
    EXPECT_EQ(ok(text_op("parent_ref_hash_root", std::string(id))), sha256_hex(id)) << id;
}

TEST(ParentRef, LinkHashesTheCanonicalText) {
  const std::string link = ok(delegate(Terms{}, "02aa", "0xABCD"));
  const std::string h = ok(text_op("parent_ref_hash_link", link));
  EXPECT_EQ(h, sha256_hex(link));

  std::string spaced;
  for (const char c : link) {
    spaced += c;
    if (c == ',' || c == ':') spaced += "\n  ";
  }
  spaced.insert(1, R"("extra":[1,{"x":null}],"salt":null, )");
  EXPECT_EQ(ok(text_op("parent_ref_hash_link", spaced)), h);

  std::string other_sig = link;
  other_sig.replace(other_sig.find("abcd"), 4, "abce");
  EXPECT_NE(ok(text_op("parent_ref_hash_link", other_sig)), h);

  const std::string no_sig = link.substr(0, link.find(R"(,"sig")")) + "}";
  expect_sdk(text_op("parent_ref_hash_link", no_sig),
             "input: missing field `sig` at line 1 column " + std::to_string(no_sig.size()));
  expect_sdk(text_op("parent_ref_hash_link", "[]"),
             "input: invalid length 0, expected struct Delegation with 12 elements at line 1 column 2");
}

// ---------------------------------------------------------------------------
// mint_capability_deed

using host::Deed;

Bytes encode(const Deed& d) { return host::deed_bytes(d); }
Deed decode(Bytes bytes) { return host::read_deed(std::move(bytes)); }

struct MintOutcome {
  int code = 0;
  Deed deed;
  std::string message;
};

MintOutcome mint_raw(RustBuffer base, const std::string& grants, const std::string& chain) {
  auto* fn = host::lib().op<MintFn>("mint_capability_deed");
  host::Status st;
  const RustBuffer out = fn(base, host::text(grants), host::text(chain), &st);
  MintOutcome o;
  o.code = st.code();
  if (o.code == 0) {
    o.deed = decode(host::take(out));
    return o;
  }
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(out.len, 0u);
  if (o.code == 1) {
    const auto [variant, message] = st.sdk_error();
    EXPECT_EQ(variant, host::kSdk);
    o.message = message;
  } else {
    o.message = st.internal_message();
  }
  return o;
}

MintOutcome mint(const Deed& base, const std::string& grants, const std::string& chain) {
  return mint_raw(host::buffer(encode(base)), grants, chain);
}

Deed full_deed() {
  Deed d;
  d.v = 9;  // a version this library never writes is carried all the same
  d.mode = "user-passkey";
  d.tenant = 0xffffffffffffffff;
  d.sub = "s\xc3\xa9";
  d.aud = "";
  d.challenge = "  c  ";
  d.exp = 0;
  for (std::size_t i = 0; i < 9; ++i) *d.optionals()[i] = "field " + std::to_string(i) + " \"raw\"";
  return d;
}

TEST(CapabilityDeed, AttachesCanonicalListsAndKeepsEverythingElse) {
  const Deed base = full_deed();
  const MintOutcome empty = mint(base, "[]", " [ ] ");
  ASSERT_EQ(empty.code, 0) << empty.message;
  Deed want = base;
  want.grants = "[]";
  want.delegations = "[]";
  EXPECT_EQ(empty.deed, want);

  // Existing lists are replaced, not merged.
  Deed carrying = base;
  carrying.grants = R"([{"res":"old","act":[],"cav":{}}])";
  carrying.delegations = "[" + ok(delegate(Terms{}, std::nullopt, "aa")) + "]";
  const MintOutcome replaced = mint(carrying, R"([{"cav":{"exp":1},"act":["w"],"res":"new"}])", "[]");
  ASSERT_EQ(replaced.code, 0) << replaced.message;
  EXPECT_EQ(replaced.deed.grants, R"([{"res":"new","act":["w"],"cav":{"exp":1}}])");
  EXPECT_EQ(replaced.deed.delegations, "[]");
}

TEST(CapabilityDeed, ChainComesBackCanonicalWithUnchangedLinkHashes) {
  Terms first;
  first.grants = R"([{"res":"r","act":["a"],"cav":{}}])";
  const std::string l1 = ok(delegate(first, std::nullopt, "0x11"));
  Terms second = first;
  second.iss = "t";
  second.to = "u";
  second.parent = ok(text_op("parent_ref_hash_link", l1));
  const std::string l2 = ok(delegate(second, "02bb", "22"));

  // Reformatted, reordered, upper-case label: the deed still holds the
  // canonical texts, so each link's hash is what the chain was built with.
  std::string l1_spelled = l1;
  std::string label_upper = kLabel;
  for (char& c : label_upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  l1_spelled.replace(l1_spelled.find(kLabel), kLabel.size(), label_upper);
  l1_spelled.insert(1, "\n  \"salt\": null,\n  \"x\": 0,\n  ");
  const MintOutcome m = mint(Deed{}, first.grants, "[\n" + l1_spelled + " ,\n " + l2 + "\n]");
  ASSERT_EQ(m.code, 0) << m.message;
  EXPECT_EQ(m.deed.delegations, "[" + l1 + "," + l2 + "]");
  EXPECT_EQ(ok(text_op("parent_ref_hash_link", l1_spelled)), second.parent);

  // Links that do not fit together are carried all the same.
  const MintOutcome loose = mint(Deed{}, "[]", "[" + l2 + "," + l2 + "]");
  ASSERT_EQ(loose.code, 0) << loose.message;
  EXPECT_EQ(loose.deed.delegations, "[" + l2 + "," + l2 + "]");
}

TEST(CapabilityDeed, RefusalsInOrder) {
  Deed bad_grants;
  bad_grants.grants = "[1]";
  Deed bad_chain;
  bad_chain.grants = "[]";
  bad_chain.delegations = "{}";
  Deed bad_both = bad_grants;
  bad_both.delegations = "{}";
  struct Case {
    std::string what;
    Deed base;
    std::string grants;
    std::string chain;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"deed grants", bad_grants, "[]", "[]",
       "input: invalid type: integer `1`, expected struct Grant at line 1 column 2"},
      {"deed chain", bad_chain, "[]", "[]", "input: invalid type: map, expected a sequence at line 1 column 1"},
      {"deed grants first", bad_both, "x", "x",
       "input: invalid type: integer `1`, expected struct Grant at line 1 column 2"},
      {"grants", Deed{}, "[{}]", "x", "input: missing field `res` at line 1 column 3"},
      {"chain", Deed{}, "[]", "[{\"iss\":\"i\"}]", "input: missing field `to` at line 1 column 12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const MintOutcome o = mint(c.base, c.grants, c.chain);
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.message, c.message);
  }
}

TEST(CapabilityDeed, MalformedDeedBuffersFailToConvert) {
  const Bytes good = encode(Deed{});
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes junk = good;
  junk.push_back(0);
  Bytes bad_tag = good;
  bad_tag.back() = 2;
  Bytes bad_utf8 = good;
  bad_utf8[5] = 0xff;  // first byte of `mode`
  Bytes negative = good;
  negative[1] = 0x80;  // length of `mode`
  const std::string prefix = "Failed to convert arg 'base_deed':\n";
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {truncated, "not enough bytes remaining in buffer (0 < 1)"},
      {junk, "junk data left in buffer after lifting (count: 1)"},
      {bad_tag, "unexpected tag byte for Option"},
      {bad_utf8, "invalid utf-8 sequence of 1 bytes from index 0"},
      {negative, "out of range integral type conversion attempted"},
      {{}, "not enough bytes remaining in buffer (0 < 1)"},
  };
  for (const auto& [bytes, reason] : cases) {
    const MintOutcome o = mint_raw(host::buffer(bytes), "[]", "[]");
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.message, prefix + reason);
  }
}

}  // namespace
