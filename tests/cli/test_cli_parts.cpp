// The command line's own pieces, without the library: the JSON writer, the
// subcommand table, flag parsing and the record forms.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli.hpp"
#include "commands.hpp"
#include "json_writer.hpp"
#include "secret_input.hpp"
#include "wire.hpp"

namespace {

using qsdk::cli::Encoded;
using qsdk::cli::UsageError;

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsValidUtf8) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {std::string("\x00\x01\x1f", 3), "\"\\u0000\\u0001\\u001f\""},
      {"\x7f", "\"\x7f\""},
      {"\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80", "\"\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80\""},
      {"\xff", "\"\\ufffd\""},
      {"a\xc3", "\"a\\ufffd\""},                              // truncated sequence
      {"\xc0\xaf", "\"\\ufffd\\ufffd\""},                     // overlong '/'
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},          // surrogate
      {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // beyond U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(qsdk::cli::json_string(c.in), c.out) << c.in;
}

TEST(Commands, OnePerOperationWithFlagsNamedAfterTheArguments) {
  const auto& all = qsdk::cli::commands();
  ASSERT_EQ(all.size(), 29u);
  const auto* mint = qsdk::cli::find_command("mint-user-deed");
  ASSERT_NE(mint, nullptr);
  std::vector<std::string> flags;
  for (const auto& f : mint->flags) flags.push_back(f.name);
  EXPECT_EQ(flags, (std::vector<std::string>{"secret-key-hex", "tenant", "aud", "origin", "challenge", "exp"}));
  EXPECT_EQ(qsdk::cli::find_command("mint_user_deed"), nullptr);
  for (const auto& cmd : all) {
    std::set<std::string> unique;
    for (const auto& f : cmd.flags) EXPECT_TRUE(unique.insert(f.name).second) << cmd.name << " --" << f.name;
  }
}

std::vector<Encoded> parse(const char* command, std::vector<std::string_view> flags, std::string stdin_text = "") {
  std::istringstream in(stdin_text);
  return qsdk::cli::parse_flags(*qsdk::cli::find_command(command), flags, in);
}

std::string usage_error(const char* command, std::vector<std::string_view> flags) {
  try {
    parse(command, flags);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(Flags, ValuesBecomeTheExportsArgumentForms) {
  const auto args = parse("delegate", {"--tenant=7", "--iss", "a", "--to", "", "--grants-json", "[]", "--exp",
                                       "18446744073709551615", "--epoch-label-hex", "ab", "--epoch", "0",
                                       "--parent-ref-hash-hex", "cd", "--signature-hex", "--x"});
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[0].scalar, 7u);
  EXPECT_EQ(args[2].buffer, "");
  EXPECT_EQ(args[4].scalar, 18446744073709551615u);
  EXPECT_EQ(args[8].buffer, std::string(1, '\0'));  // pubkey_hex absent
  EXPECT_EQ(args[9].buffer, "--x");                 // a value may look like a flag

  const auto present = parse("delegate", {"--tenant", "1", "--iss", "", "--to", "", "--grants-json", "", "--exp", "1",
                                          "--epoch-label-hex", "", "--epoch", "1", "--parent-ref-hash-hex", "",
                                          "--pubkey-hex", "k", "--signature-hex", ""});
  EXPECT_EQ(present[8].buffer, std::string("\x01\x00\x00\x00\x01k", 6));

  for (const std::string_view ret : {"00Ff", "0x00Ff", "0X00ff"})
    EXPECT_EQ(parse("decode-bool-return", {"--ret", ret})[0].buffer, std::string("\x00\x00\x00\x02\x00\xff", 6)) << ret;
  EXPECT_EQ(parse("origin-vouch-binding", {"--tenant", "1", "--aud", "a", "--origin", "o", "--epoch", "1", "--exp",
                                           "1", "--allow-insecure-origin"})[5].scalar, 1u);
  EXPECT_EQ(parse("origin-vouch-binding", {"--tenant", "1", "--aud", "a", "--origin", "o", "--epoch", "1", "--exp",
                                           "1"})[5].scalar, 0u);
}

TEST(Flags, MistakesAreUsageErrors) {
  struct Case {
    const char* command;
    std::vector<std::string_view> flags;
    std::string message;
  };
  const Case cases[] = {
      {"normalize-origin", {}, "missing --origin <text>"},
      {"normalize-origin", {"--origin"}, "--origin needs a value"},
      {"normalize-origin", {"--origin", "a", "--origin", "b"}, "--origin given twice"},
      {"normalize-origin", {"--origins", "a"}, "unknown flag --origins"},
      {"normalize-origin", {"https://a.example"}, "unexpected argument 'https://a.example'"},
      {"user-sub", {"--pubkey_hex", "02"}, "unknown flag --pubkey_hex"},
      {"pkce-challenge", {"--verifier", "v", "extra"}, "unexpected argument 'extra'"},
      {"passkey-sub", {"--tenant", "7x", "--origin", "o", "--credential-pubkey-hex", ""},
       "--tenant: expected an unsigned 64-bit decimal number, got '7x'"},
      {"passkey-sub", {"--tenant", "-1", "--origin", "o", "--credential-pubkey-hex", ""},
       "--tenant: expected an unsigned 64-bit decimal number, got '-1'"},
      {"passkey-sub", {"--tenant", "18446744073709551616", "--origin", "o", "--credential-pubkey-hex", ""},
       "--tenant: expected an unsigned 64-bit decimal number, got '18446744073709551616'"},
      {"passkey-sub", {"--tenant=", "--origin", "o", "--credential-pubkey-hex", ""},
       "--tenant: expected an unsigned 64-bit decimal number, got ''"},
      {"decode-bool-return", {"--ret", "0"}, "--ret: odd number of hex digits (1); a byte takes two"},
      {"decode-bool-return", {"--ret", "0x1"}, "--ret: odd number of hex digits (1); a byte takes two"},
      {"decode-bool-return", {"--ret", "zz"}, "--ret: not hex: 'z' at position 0"},
      {"decode-bool-return", {"--ret", "0x0g"}, "--ret: not hex: 'g' at position 3"},
      {"decode-bool-return", {"--ret", "00\xff"}, "--ret: not hex: byte 0xff at position 2"},
      {"derive-app-key", {"--root-seed-hex", "@/nonexistent/seed", "--tenant", "1", "--origin", "o"},
       "--root-seed-hex: cannot open /nonexistent/seed: No such file or directory"},
      {"origin-vouch-binding",
       {"--tenant", "1", "--aud", "a", "--origin", "o", "--epoch", "1", "--exp", "1", "--allow-insecure-origin=true"},
       "--allow-insecure-origin takes no value"},
  };
  for (const auto& c : cases) EXPECT_EQ(usage_error(c.command, c.flags), c.message) << c.command;
}

TEST(Flags, SecretsFromStandardInputLoseOneLineEndingAndAreMarkedForWiping) {
  const std::string seed(64, 'a');
  for (const auto& [stdin_text, expected] : {std::pair{seed + "\n", seed}, {seed + "\r\n", seed}, {seed + "\n\n", seed + "\n"}}) {
    const auto args = parse("derive-app-key", {"--root-seed-hex", "-", "--tenant", "1", "--origin", "o"}, stdin_text);
    EXPECT_EQ(args[0].buffer, expected);
    EXPECT_EQ(std::pair(args[0].secret, args[2].secret), std::pair(true, false));
  }
  std::istringstream huge(std::string(5000, 'a'));
  EXPECT_EQ(qsdk::cli::read_secret("-", huge).error(), "more than 4096 bytes; not a key or a seed");
}

TEST(ArgNotes, EveryHexArgumentsHelpNamesItsPrefixRule) {
  using qsdk::ffi::iface::ZeroX;
  for (const auto& cmd : qsdk::cli::commands()) {
    const std::vector<std::string_view> args{cmd.name, "--help"};
    std::ostringstream out, err;
    std::istringstream in;
    ASSERT_EQ(qsdk::cli::run(args, out, err, in), qsdk::cli::kExitOk) << cmd.name;
    std::istringstream help(out.str());
    std::string unwrapped, word;
    while (help >> word) unwrapped += word + " ";
    for (const auto& flag : cmd.flags) {
      const bool hex = flag.arg.name.ends_with("_hex") || flag.arg.type == qsdk::ffi::iface::Ty::Bytes;
      EXPECT_EQ(flag.zero_x != ZeroX::NotHex, hex) << cmd.name << " --" << flag.name;
      if (!hex) continue;
      const std::size_t end = unwrapped.find("(argument " + std::string(flag.arg.name) + ")");
      const std::size_t start = unwrapped.rfind("--" + flag.name + " ", end);
      const std::string said = unwrapped.substr(start, end - start);
      EXPECT_NE(said.find(qsdk::ffi::iface::zero_x_rule(flag.zero_x)), std::string::npos) << said;
    }
  }
}

const char* const kDeedJson =
    "{\n"
    "  \"v\": 1,\n"
    "  \"mode\": \"user-sig\",\n"
    "  \"tenant\": 18446744073709551615,\n"
    "  \"sub\": \"s\\u0001\xc3\xa9\",\n"
    "  \"aud\": \"rp\",\n"
    "  \"challenge\": \"\",\n"
    "  \"exp\": 0,\n"
    "  \"root\": null,\n"
    "  \"proof\": null,\n"
    "  \"pubkey\": \"02ab\",\n"
    "  \"signature\": \"\",\n"
    "  \"credential_pubkey\": null,\n"
    "  \"authenticator_data\": null,\n"
    "  \"client_data_json\": null,\n"
    "  \"assertion_sig\": null,\n"
    "  \"signer\": null,\n"
    "  \"grants\": \"[{\\\"res\\\":\\\"r\\\"}]\",\n"
    "  \"delegations\": null\n"
    "}\n";

TEST(Records, ADeedPrintedAsJsonIsReadBackToTheSameBytes) {
  const std::string bytes = qsdk::cli::record_from_json(qsdk::ffi::iface::kDeed, kDeedJson);
  EXPECT_EQ(bytes.substr(0, 1), "\x01");
  EXPECT_EQ(qsdk::cli::record_to_json(qsdk::ffi::iface::kDeed, bytes), kDeedJson);
  // Absent optional members are the same as null ones; member order is free.
  const std::string compact = R"({"exp":0,"v":1,"mode":"m","tenant":2,"sub":"","aud":"","challenge":""})";
  const std::string minimal = qsdk::cli::record_from_json(qsdk::ffi::iface::kDeed, compact);
  EXPECT_EQ(minimal.size(), 1 + 5 + 8 + 4 + 4 + 4 + 8 + 11u);
  EXPECT_EQ(minimal.substr(minimal.size() - 11), std::string(11, '\0'));
  // The deed can also come from standard input.
  EXPECT_EQ(parse("mint-capability-deed", {"--base-deed", "-", "--grants-json", "[]", "--delegation-chain-json", "[]"},
                  compact)[0].buffer, minimal);
}

TEST(Records, MalformedDeedJsonIsAUsageError) {
  const std::string base = R"("v":1,"mode":"m","tenant":2,"sub":"","aud":"","challenge":"","exp":0)";
  struct Case {
    std::string json, message;
  };
  const Case cases[] = {
      {"{" + base + R"(,"modes":"x"})", "unknown field `modes`"},
      {"{" + base + R"(,"mode":"x"})", "duplicate field `mode`"},
      {R"({"v":1})", "missing field `mode`"},
      {"{" + base.substr(6) + R"(,"v":256})", "field `v` must be 0 to 255"},
      {"{" + base.substr(0, base.size() - 1) + "-1}", "field `exp` must be an unsigned 64-bit integer"},
      {"{" + base + R"(,"signer":7})", "field `signer` must be a string"},
      {"[]", "expected a JSON object with the fields of Deed"},
      {"{", "Missing a name for object member. at offset 1"},
      {"{\"mode\":\"\xff\"}", "Invalid encoding in string. at offset 9"},
  };
  for (const auto& c : cases) {
    try {
      qsdk::cli::record_from_json(qsdk::ffi::iface::kDeed, c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.json;
    }
  }
}

TEST(Records, ABufferOfAnotherShapeIsRefused) {
  const auto& pkce = qsdk::ffi::iface::kPkce;
  std::string good;
  qsdk::cli::put_sized(good, "v");
  qsdk::cli::put_sized(good, "c");
  EXPECT_EQ(qsdk::cli::record_to_json(pkce, good), "{\n  \"verifier\": \"v\",\n  \"challenge\": \"c\"\n}\n");
  EXPECT_THROW(qsdk::cli::record_to_json(pkce, good + "x"), qsdk::cli::WireError);
  EXPECT_THROW(qsdk::cli::record_to_json(pkce, good.substr(0, good.size() - 1)), qsdk::cli::WireError);
  std::string claims;
  for (const char* s : {"i", "s", "a"}) qsdk::cli::put_sized(claims, s);
  qsdk::cli::put_u64(claims, 1);
  qsdk::cli::put_u64(claims, 2);
  EXPECT_THROW(qsdk::cli::record_to_json(qsdk::ffi::iface::kClaims, claims + "\x02"), qsdk::cli::WireError);
  EXPECT_EQ(qsdk::cli::record_to_json(qsdk::ffi::iface::kClaims, claims + std::string("\x01\0\0\0\0\0\0\0\x07\0", 10)),
            "{\n  \"iss\": \"i\",\n  \"sub\": \"s\",\n  \"aud\": \"a\",\n  \"exp\": 1,\n  \"iat\": 2,\n  \"tid\": 7,\n"
            "  \"nonce\": null\n}\n");
}

}  // namespace
