// The declared interface, in one table: every operation's arguments with
// their formats, result, refusals, checksum and documentation, and every
// record's fields. The metadata blobs, the checksum exports, the signature
// checks of the exports and the records' wire bindings are derived from it at
// compile time; tools/iface derives the public header's operations,
// docs/api.md and the fuzz target list and checks them against it, and the
// qsdk command line words each flag's help from it. So the pieces a host
// binds against cannot drift apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ffi/export.hpp"

namespace qsdk::ffi::iface {

inline constexpr std::string_view kModule = "quorvel_sdk_uniffi";
inline constexpr std::uint32_t kContractVersion = 30;

enum class Ty : std::uint8_t { U8, U64, Bool, String, Bytes, OptString, OptU64, Deed, Claims, AppKey, Pkce };

// What a hex argument's leading "0x" becomes before the value is used. Wallets
// hand signatures and addresses out with a prefix, sometimes repeated; keys,
// seeds and hashes this library produced itself come without one.
enum class ZeroX : std::uint8_t {
  NotHex,        // the argument is not hex text
  Refused,       // plain hex: a "0x" fails as an invalid character
  OneOptional,   // one leading "0x" or "0X" is removed
  EveryLeading,  // every leading lower-case "0x" is removed, repeatedly
  Kept,          // hex the library does not decode, only carries or hashes as text: a "0x" stays
};

// Each rule as the reference, the header and the command line's help state it.
constexpr std::string_view zero_x_rule(ZeroX z) {
  switch (z) {
    case ZeroX::NotHex: return "";
    case ZeroX::Refused: return "hex without \"0x\"";
    case ZeroX::OneOptional: return "hex; one optional \"0x\" or \"0X\" removed";
    case ZeroX::EveryLeading: return "hex; every leading \"0x\" removed";
    case ZeroX::Kept: return "hex, not decoded; a \"0x\" is kept";
  }
  return "";
}

struct Arg {
  std::string_view name;
  Ty type;
  std::string_view format = {};  // what the value holds, when its type does not say it all
  ZeroX zero_x = ZeroX::NotHex;
  // A secret key or seed: a host keeps it off command lines and out of logs.
  bool secret = false;
};

inline constexpr bool kSecret = true;

// Argument formats several operations share.
inline constexpr std::string_view kOrigin = "web origin, canonicalised here";
inline constexpr std::string_view kOriginCanonical = "origin already canonical (normalize_origin), used as given";
inline constexpr std::string_view kOriginAsSpelled = "web origin, checked in canonical form, used as spelled";
inline constexpr std::string_view kCarried = "carried into the deed unchanged, not decoded or verified";
inline constexpr std::string_view kWalletAddress = "20-byte wallet-contract address";
inline constexpr std::string_view kWalletSignature = "wallet signature, any length, not interpreted";
inline constexpr std::string_view kGrantsJson = "JSON array of grants";
inline constexpr std::string_view kBytes32 = "32 bytes";
inline constexpr std::string_view kUnixSeconds = "Unix seconds";
inline constexpr std::string_view kVerbatim = "any text, used as given";
inline constexpr std::string_view kSecretKey = "secp256k1 secret key, 24 to 32 bytes; a shorter one is left-padded with zeros";
inline constexpr std::string_view kCredentialKey = "the credential's P-256 public key, lower-cased";

inline constexpr std::size_t kMaxArgs = 10;

struct Op {
  std::string_view name;
  std::array<Arg, kMaxArgs> args{};
  std::size_t argc = 0;
  Ty result = Ty::String;
  std::string_view returns;  // what the result holds
  bool throws = false;       // declares SdkError
  std::string_view refuses;  // each failure class and its causes
  std::uint16_t checksum = 0;
  std::string_view doc;
  // Spaces and tabs appended to the documentation in the metadata so that
  // the blob hashes to the checksum; computed by tools/iface (`qsdk_iface
  // padding`), verified when the library is built.
  std::string_view doc_padding;
};

// One table entry, written with designated initialisers so that every value
// is named where it is given.
struct OpDecl {
  std::string_view name;
  std::initializer_list<Arg> args;
  Ty result;
  std::string_view returns;
  bool throws;
  std::string_view refuses;
  std::uint16_t checksum;
  std::string_view doc;
  std::string_view doc_padding;
};

constexpr Op op(const OpDecl& d) {
  Op o{d.name, {}, d.args.size(), d.result, d.returns, d.throws, d.refuses, d.checksum, d.doc, d.doc_padding};
  std::size_t i = 0;
  for (const Arg& a : d.args) o.args[i++] = a;
  return o;
}

// clang-format off
inline constexpr std::array kOps = {
  op({.name = "normalize_origin",
      .args = {{"origin", Ty::String, kOrigin}},
      .result = Ty::String,
      .returns = "the canonical origin",
      .throws = true,
      .refuses = "input: the origin is malformed; the message names the rule (\"origin: ...\")",
      .checksum = 7290,
      .doc = "Canonicalises a web origin to scheme://host[:port]: lower-cased host, default port dropped, one trailing "
             "slash tolerated. Two spellings of one origin must sign identical bytes, and a malformed origin must be "
             "refused when a deed is made rather than failing later at the relying party; canonicalise once and use the "
             "result for both fetching and signing.",
      .doc_padding = "  \t    \t  \t\t "}),
  op({.name = "user_binding",
      .args = {{"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOrigin},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::String,
      .returns = "lower-case hex of the binding's UTF-8 bytes",
      .throws = true,
      .refuses = "input: a malformed origin",
      .checksum = 29260,
      .doc = "Returns, as hex, the exact bytes an app-scoped key signs for a user-sig deed, with the origin canonicalised "
             "first. For hosts that sign themselves: hash the bytes with SHA-256 and sign the digest, never with the "
             "EIP-191 prefix. The origin sits right after aud so that swapping the two is visible in every binding.",
      .doc_padding = "\t        \t\t\t\t\t"}),
  op({.name = "user_sub",
      .args = {{"pubkey_hex", Ty::String, "SEC 1 public key, compressed (33 bytes) or uncompressed (65 bytes)", ZeroX::Refused}},
      .result = Ty::String,
      .returns = "64 lower-case hex digits",
      .throws = true,
      .refuses = "crypto: the key is not hex, or not a secp256k1 point",
      .checksum = 46850,
      .doc = "Returns the pseudonymous subject of an app-scoped public key: SHA-256 over a fixed tag and the compressed "
             "key. Compressed and uncompressed encodings of one key give one subject, so a relying party never sees the "
             "wallet behind it.",
      .doc_padding = "  \t\t\t\t \t\t\t\t  \t\t  "}),
  op({.name = "mint_user_deed",
      .args = {{"secret_key_hex", Ty::String, kSecretKey, ZeroX::Refused, kSecret},
               {"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOrigin},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::Deed,
      .returns = "a user-sig Deed",
      .throws = true,
      .refuses = "crypto: the key is not hex or not a valid secret key; input: a malformed origin",
      .checksum = 56987,
      .doc = "Mints a user-sig deed: canonicalises the origin, signs the SHA-256 digest of the user binding with the "
             "app-scoped key (deterministic nonce, low s) and returns the deed. The origin is signed but not stored, so a "
             "deed obtained at one origin cannot be relayed to a relying party that serves another.",
      .doc_padding = " \t\t    \t\t \t \t \t"}),
  op({.name = "user_root_binding",
      .args = {{"origin", Ty::String, kOrigin}},
      .result = Ty::String,
      .returns = "the prose the wallet signs",
      .throws = true,
      .refuses = "input: a malformed origin",
      .checksum = 6149,
      .doc = "Returns the prose a wallet signs, twice, to derive the user's root seed for an origin. The prose names the "
             "origin so that a signature given to one site cannot be replayed to derive another site's keys.",
      .doc_padding = "\t\t\t \t   \t\t  \t  \t "}),
  op({.name = "derive_root_seed",
      .args = {{"origin", Ty::String, kOrigin},
               // The seed is the signature's hash: whoever holds one holds the seed.
               {"signature1_hex", Ty::String, "wallet signature of the root binding, any length", ZeroX::Refused, kSecret},
               {"signature2_hex", Ty::String, "the same signature again", ZeroX::Refused, kSecret}},
      .result = Ty::String,
      .returns = "the 32-byte root seed as 64 lower-case hex digits",
      .throws = true,
      .refuses = "crypto: a signature is not hex, or the two signatures differ; input: a malformed origin",
      .checksum = 52020,
      .doc = "Derives the 32-byte root seed from two signatures of the root binding. Both must be identical: a wallet "
             "whose signatures are not deterministic would yield a different seed at every sign-in, so it is refused.",
      .doc_padding = "  \t\t\t   \t \t\t\t\t\t \t "}),
  op({.name = "derive_app_key",
      .args = {{"root_seed_hex", Ty::String, "32-byte root seed", ZeroX::Refused, kSecret},
               {"tenant_id", Ty::U64},
               {"origin", Ty::String, kOrigin}},
      .result = Ty::AppKey,
      .returns = "an AppKey",
      .throws = true,
      .refuses = "crypto: the seed is not hex; input: the seed is not 32 bytes, or a malformed origin",
      .checksum = 41135,
      .doc = "Derives the app-scoped secp256k1 key for one (tenant, origin) pair from the root seed with HKDF-SHA-256. "
             "Each relying party sees an unlinkable key, and the same seed always yields the same key.",
      .doc_padding = " \t  \t\t\t\t \t\t"}),
  op({.name = "passkey_sub",
      .args = {{"tenant_id", Ty::U64},
               {"origin", Ty::String, kOriginCanonical},
               {"credential_pubkey_hex", Ty::String, kCredentialKey, ZeroX::Kept}},
      .result = Ty::String,
      .returns = "64 lower-case hex digits",
      .throws = false,
      .refuses = "nothing",
      .checksum = 52266,
      .doc = "Returns the subject of a passkey credential for a tenant and an origin the caller has already "
             "canonicalised, so that one authenticator yields unlinkable subjects across tenants and origins.",
      .doc_padding = "\t  \t\t \t   \t \t\t \t"}),
  op({.name = "mint_user_passkey_deed",
      .args = {{"credential_pubkey_hex", Ty::String, kCredentialKey, ZeroX::Kept},
               {"authenticator_data_hex", Ty::String, "WebAuthn authenticator data, carried unverified", ZeroX::Kept},
               {"client_data_json_b64url", Ty::String, kCarried},
               {"assertion_sig_hex", Ty::String, "the assertion's signature, carried unverified", ZeroX::Kept},
               {"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOrigin},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::Deed,
      .returns = "a user-passkey Deed",
      .throws = true,
      .refuses = "input: a malformed origin",
      .checksum = 28256,
      .doc = "Wraps a WebAuthn assertion into a user-passkey deed. The library neither decodes nor verifies the "
             "assertion: it carries the four texts unchanged (the key lower-cased) for the relying party to verify "
             "against the credential key, and derives the subject from the key, the tenant and the canonical origin.",
      .doc_padding = "\t   \t       \t "}),
  op({.name = "mint_user_1271_deed",
      .args = {{"signer_addr_hex", Ty::String, kWalletAddress, ZeroX::OneOptional},
               {"wallet_sig_hex", Ty::String, kWalletSignature, ZeroX::OneOptional},
               {"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOrigin},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::Deed,
      .returns = "a user-1271 Deed",
      .throws = true,
      .refuses = "input: the address is not 20 bytes of hex, the signature is not hex, or a malformed origin",
      .checksum = 33666,
      .doc = "Mints a user-1271 deed for a smart-contract wallet. Such a signature can only be checked on chain "
             "(EIP-1271), so the deed carries the wallet address and signature for the relying party to verify.",
      .doc_padding = "\t    \t \t \t\t\t\t \t  \t"}),
  op({.name = "mint_admin_deed",
      .args = {{"wallet_sig_hex", Ty::String, "65-byte EIP-191 signature (r, s, v)", ZeroX::EveryLeading},
               {"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::Deed,
      .returns = "an admin-sig Deed whose sub is the recovered address",
      .throws = true,
      .refuses = "input: the signature is not hex or not 65 bytes, or a bad recovery id; crypto: no signer can be recovered",
      .checksum = 33438,
      .doc = "Mints an admin-sig deed from a tenant administrator's EIP-191 signature of the admin binding; the subject "
             "is the recovered signer address, which the relying party matches against the tenant's administrators.",
      .doc_padding = " \t\t      \t   "}),
  op({.name = "mint_admin_deed_smartwallet",
      .args = {{"signer_addr_hex", Ty::String, kWalletAddress, ZeroX::OneOptional},
               {"wallet_sig_hex", Ty::String, kWalletSignature, ZeroX::OneOptional},
               {"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"challenge", Ty::String, kVerbatim},
               {"exp", Ty::U64, kUnixSeconds}},
      .result = Ty::Deed,
      .returns = "an admin-sig Deed whose sub is the wallet address",
      .throws = true,
      .refuses = "input: the address is not 20 bytes of hex, or the signature is not hex",
      .checksum = 23054,
      .doc = "Mints an admin-sig deed for an administrator whose wallet is a smart contract: the subject is the wallet "
             "address, and the signature is left for the relying party to check on chain.",
      .doc_padding = "\t \t\t \t\t\t  \t \t\t\t"}),
  op({.name = "delegation_binding",
      .args = {{"tenant_id", Ty::U64},
               {"iss", Ty::String},
               {"to", Ty::String},
               {"grants_json", Ty::String, kGrantsJson},
               {"exp", Ty::U64, kUnixSeconds},
               {"epoch_label_hex", Ty::String, kBytes32, ZeroX::Refused},
               {"epoch", Ty::U64},
               {"parent_ref_hash_hex", Ty::String, kBytes32, ZeroX::Refused}},
      .result = Ty::String,
      .returns = "lower-case hex of the bytes the delegator signs",
      .throws = true,
      .refuses = "input: the grants are not valid grant JSON; crypto: a label or reference is not hex; Sdk without prefix \"expected 32 bytes of hex\"",
      .checksum = 38187,
      .doc = "Returns, as hex, the bytes a delegator signs for one delegation link. The grants are embedded in their "
             "canonical form, never as the caller typed them, so the verifier rebuilds identical bytes.",
      .doc_padding = " \t \t  \t   \t\t  \t\t "}),
  op({.name = "delegate",
      .args = {{"tenant_id", Ty::U64},
               {"iss", Ty::String},
               {"to", Ty::String},
               {"grants_json", Ty::String, kGrantsJson},
               {"exp", Ty::U64, kUnixSeconds},
               {"epoch_label_hex", Ty::String, kBytes32, ZeroX::Refused},
               {"epoch", Ty::U64},
               {"parent_ref_hash_hex", Ty::String, kBytes32, ZeroX::Refused},
               {"pubkey_hex", Ty::OptString, "signer's public key; absent when recoverable", ZeroX::Kept},
               {"signature_hex", Ty::String, "the delegator's signature, any length", ZeroX::EveryLeading}},
      .result = Ty::String,
      .returns = "the link as canonical JSON",
      .throws = true,
      .refuses = "as delegation_binding; crypto: the signature is not hex",
      .checksum = 32777,
      .doc = "Assembles a signed delegation link as canonical JSON from the values the delegator signed and the "
             "signature. The public key is only needed for signers whose key cannot be recovered from the signature.",
      .doc_padding = "\t  \t \t\t\t  \t \t\t \t"}),
  op({.name = "parent_ref_hash_root",
      .args = {{"root_id", Ty::String, "any text, hashed as given"}},
      .result = Ty::String,
      .returns = "64 lower-case hex digits",
      .throws = false,
      .refuses = "nothing",
      .checksum = 15897,
      .doc = "Returns the parent reference that chains the first delegation link to the root principal's identity.",
      .doc_padding = "\t  \t   \t\t\t  \t\t "}),
  op({.name = "parent_ref_hash_link",
      .args = {{"parent_link_json", Ty::String, "one delegation link as JSON"}},
      .result = Ty::String,
      .returns = "64 lower-case hex digits",
      .throws = true,
      .refuses = "input: the text is not a valid delegation link",
      .checksum = 7361,
      .doc = "Returns the parent reference of a delegation link: a hash of its canonical JSON, so that reordering or "
             "re-spacing the link cannot change the chain.",
      .doc_padding = " \t\t \t \t\t\t\t\t  "}),
  op({.name = "mint_capability_deed",
      .args = {{"base_deed", Ty::Deed},
               {"grants_json", Ty::String, kGrantsJson},
               {"delegation_chain_json", Ty::String, "JSON array of delegation links"}},
      .result = Ty::Deed,
      .returns = "the deed with grants and delegations set",
      .throws = true,
      .refuses = "input: the base deed's capability texts, the grants or the chain are not valid JSON of their kind",
      .checksum = 49585,
      .doc = "Attaches grants and a delegation chain, in canonical JSON, to an identity deed. Nothing is re-signed: the "
             "chain carries its own signatures and the deed's proof is left as it was.",
      .doc_padding = "    \t  \t\t\t\t\t\t\t \t"}),
  op({.name = "origin_vouch_binding",
      .args = {{"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOriginAsSpelled},
               {"epoch", Ty::U64},
               {"exp", Ty::U64, kUnixSeconds},
               {"allow_insecure_origin", Ty::Bool}},
      .result = Ty::String,
      .returns = "the vouch prose, with the origin as spelled",
      .throws = true,
      .refuses = "input: a malformed origin; InsecureOrigin: not https, or a loopback, private or link-local host, unless allow_insecure_origin",
      .checksum = 36505,
      .doc = "Returns the prose a tenant administrator signs to vouch that an origin speaks for the tenant. Fails closed: "
             "plain-HTTP and loopback, private or link-local origins are refused as InsecureOrigin unless "
             "allow_insecure_origin is set, for local development only.",
      .doc_padding = "   \t\t \t \t \t\t    "}),
  op({.name = "origin_vouch_signer",
      .args = {{"tenant_id", Ty::U64},
               {"aud", Ty::String, kVerbatim},
               {"origin", Ty::String, kOriginAsSpelled},
               {"epoch", Ty::U64},
               {"exp", Ty::U64, kUnixSeconds},
               {"signature_hex", Ty::String, "65-byte EIP-191 signature (r, s, v)", ZeroX::Refused}},
      .result = Ty::String,
      .returns = "the signer's address: \"0x\" and 40 lower-case hex digits",
      .throws = true,
      .refuses = "crypto: the signature is not hex or recovers no signer; input: not 65 bytes, a bad recovery id, or a malformed origin",
      .checksum = 27444,
      .doc = "Recovers the address that signed an origin vouch, given the origin the holder observed itself; the caller "
             "then asks the on-chain registry whether that address may vouch for the tenant.",
      .doc_padding = "  \t\t \t \t  \t  \t\t "}),
  op({.name = "origin_vouch_max_ttl_secs",
      .args = {},
      .result = Ty::U64,
      .returns = "7776000 (90 days)",
      .throws = false,
      .refuses = "nothing",
      .checksum = 39703,
      .doc = "The longest lifetime a vouch may claim, in seconds (90 days); a vouch whose expiry lies further ahead must "
             "be rejected by the holder.",
      .doc_padding = "   \t\t\t\t\t\t \t\t  \t  "}),
  op({.name = "is_origin_voucher_calldata",
      .args = {{"tenant_id", Ty::U64},
               {"signer_hex", Ty::String, "20-byte address", ZeroX::EveryLeading},
               {"epoch", Ty::U64}},
      .result = Ty::Bytes,
      .returns = "the 100 bytes of call data",
      .throws = true,
      .refuses = "crypto: the address is not hex; input: not 20 bytes",
      .checksum = 36822,
      .doc = "Builds the call data of the registry query isOriginVoucher(uint256,address,uint64) for a read-only chain "
             "call; the library never talks to a chain itself.",
      .doc_padding = "  \t\t\t\t\t\t\t  \t\t   "}),
  op({.name = "decode_bool_return",
      .args = {{"ret", Ty::Bytes, "the 32-byte ABI return word"}},
      .result = Ty::Bool,
      .returns = "true when the last byte of the word is not 0",
      .throws = true,
      .refuses = "input: the return is not exactly 32 bytes",
      .checksum = 24056,
      .doc = "Decodes the registry's 32-byte boolean answer. An empty or short return is an error, never false, so a "
             "failed chain call cannot be mistaken for a refusal.",
      .doc_padding = " \t\t \t  \t \t  \t \t"}),
  op({.name = "generate_pkce",
      .args = {},
      .result = Ty::Pkce,
      .returns = "a Pkce pair",
      .throws = false,
      .refuses = "nothing (a failing random source is an internal failure, code 2)",
      .checksum = 34530,
      .doc = "Generates a fresh PKCE verifier from the operating system's random source, with its S256 challenge.",
      .doc_padding = "  \t\t    \t \t\t \t\t \t\t"}),
  op({.name = "pkce_challenge",
      .args = {{"verifier", Ty::String, "the code verifier, hashed as given"}},
      .result = Ty::String,
      .returns = "43 base64url characters",
      .throws = false,
      .refuses = "nothing",
      .checksum = 22506,
      .doc = "Returns the S256 challenge of a PKCE verifier: base64url of its SHA-256 digest, unpadded.",
      .doc_padding = "   \t\t \t \t \t\t   \t"}),
  op({.name = "build_authorize_url",
      .args = {{"issuer", Ty::String, "absolute URL; its path is replaced by /authorize"},
               {"client_id", Ty::String},
               {"redirect_uri", Ty::String},
               {"state", Ty::String},
               {"nonce", Ty::String},
               {"code_challenge", Ty::String}},
      .result = Ty::String,
      .returns = "the authorisation URL",
      .throws = true,
      .refuses = "input: the issuer is not a valid URL",
      .checksum = 32881,
      .doc = "Builds the authorisation request URL from the issuer by the URL Standard, with every parameter encoded by "
             "the form serializer, so that no caller value can inject or override a parameter.",
      .doc_padding = "    \t\t\t\t\t    "}),
  op({.name = "build_client_assertion",
      .args = {{"domain", Ty::String}, {"tenant_id", Ty::U64}, {"nonce", Ty::String}, {"issued_at", Ty::U64, kUnixSeconds}},
      .result = Ty::String,
      .returns = "the assertion text",
      .throws = false,
      .refuses = "nothing",
      .checksum = 23399,
      .doc = "Returns the client-credentials assertion text that a client's key signs, binding domain, tenant, nonce and "
             "time so that an assertion cannot be replayed elsewhere.",
      .doc_padding = "   \t\t\t\t     \t"}),
  op({.name = "sign_client_assertion",
      .args = {{"secret_key_hex", Ty::String, kSecretKey, ZeroX::EveryLeading, kSecret},
               {"domain", Ty::String},
               {"tenant_id", Ty::U64},
               {"nonce", Ty::String},
               {"issued_at", Ty::U64, kUnixSeconds}},
      .result = Ty::String,
      .returns = "\"0x\" and 130 lower-case hex digits",
      .throws = true,
      .refuses = "input: the key is not hex; crypto: the key is not 24 to 32 bytes or not valid",
      .checksum = 62989,
      .doc = "Signs the client assertion text with EIP-191 personal sign under a raw secret key, as a wallet would.",
      .doc_padding = "   \t\t\t   \t "}),
  op({.name = "verify_token_at",
      .args = {{"jwt", Ty::String, "compact ES256 JWT"},
               {"jwks_json", Ty::String, "JWK Set JSON with EC P-256 keys"},
               {"expected_iss", Ty::String},
               {"expected_aud", Ty::String},
               {"now_unix", Ty::U64, "the caller's clock, Unix seconds"}},
      .result = Ty::Claims,
      .returns = "the token's Claims",
      .throws = true,
      .refuses = "jwt: the token's form, header or signature; bad key: the key set; claim: issuer, audience or expiry",
      .checksum = 39659,
      .doc = "Verifies an ES256 token against the issuer's key set at a clock the caller supplies, and returns its "
             "claims. The library never reads the clock, so the caller decides what now means; the nonce is returned "
             "for the caller to compare.",
      .doc_padding = " \t \t \t  \t \t\t\t\t\t"}),
  op({.name = "issuer_key_id",
      .args = {{"jwk_json", Ty::String, "one EC P-256 JWK as JSON"}},
      .result = Ty::String,
      .returns = "the RFC 7638 thumbprint as 64 lower-case hex digits",
      .throws = true,
      .refuses = "bad key: not an EC P-256 JWK",
      .checksum = 8122,
      .doc = "Returns the RFC 7638 thumbprint of an EC P-256 key as hex: a key identifier that does not depend on "
             "member order or extra members.",
      .doc_padding = "\t\t    \t\t\t\t\t\t  \t "}),
};
// clang-format on

struct Field {
  std::string_view name;
  Ty type;
  std::string_view doc;
};

inline constexpr std::size_t kMaxFields = 18;

struct Record {
  std::string_view name;
  std::array<Field, kMaxFields> fields{};
  std::size_t fieldc = 0;
  std::string_view doc;
};

constexpr Record record(std::string_view name, std::initializer_list<Field> fields, std::string_view doc) {
  Record r{name, {}, fields.size(), doc};
  std::size_t i = 0;
  for (const Field& f : fields) r.fields[i++] = f;
  return r;
}

// clang-format off
inline constexpr Record kAppKey = record("AppKey", {
    {"secret_key_hex", Ty::String, "The app-scoped secret key, 64 hex digits. Keep it secret."},
    {"pubkey_hex", Ty::String, "The compressed public key, 66 lower-case hex digits."}},
  "An app-scoped secp256k1 key pair derived for one tenant and origin, unlinkable to any other pair.");

inline constexpr Record kClaims = record("Claims", {
    {"iss", Ty::String, "Issuer, equal to the expected issuer."},
    {"sub", Ty::String, "Subject."},
    {"aud", Ty::String, "Audience, equal to the expected audience."},
    {"exp", Ty::U64, "Expiry, Unix seconds."},
    {"iat", Ty::U64, "Issue time, Unix seconds."},
    {"tid", Ty::OptU64, "Tenant identifier, when the token names one."},
    {"nonce", Ty::OptString, "The nonce of the authorisation request; compare it yourself."}},
  "The claims of a verified token; returned only when signature, issuer, audience and expiry all passed.");

inline constexpr Record kDeed = record("Deed", {
    {"v", Ty::U8, "Token format version; 1 for every deed minted here."},
    {"mode", Ty::String, "Signing mode: user-sig, user-passkey, user-1271 or admin-sig."},
    {"tenant", Ty::U64, "Tenant identifier."},
    {"sub", Ty::String, "Subject: the pseudonym or address of the principal."},
    {"aud", Ty::String, "Audience."},
    {"challenge", Ty::String, "The relying party's challenge."},
    {"exp", Ty::U64, "Expiry, Unix seconds."},
    {"root", Ty::OptString, "Carried unchanged; never set by a mint."},
    {"proof", Ty::OptString, "Carried unchanged; never set by a mint."},
    {"pubkey", Ty::OptString, "user-sig: the compressed public key in hex."},
    {"signature", Ty::OptString, "The signature in hex: r and s for user-sig, the wallet's bytes otherwise."},
    {"credential_pubkey", Ty::OptString, "user-passkey: the credential's public key in hex."},
    {"authenticator_data", Ty::OptString, "user-passkey: the authenticator data in hex."},
    {"client_data_json", Ty::OptString, "user-passkey: the client data JSON in base64url."},
    {"assertion_sig", Ty::OptString, "user-passkey: the assertion signature in hex."},
    {"signer", Ty::OptString, "The wallet-contract address for smart-wallet modes."},
    {"grants", Ty::OptString, "Canonical JSON of the grant list, when the deed carries capabilities."},
    {"delegations", Ty::OptString, "Canonical JSON of the delegation chain; absent whenever grants is."}},
  "A sovereign identity token. The origin is part of what was signed but is not stored: a relying party checks "
  "the deed against its own origin, which is what stops a deed from being relayed across origins.");

inline constexpr Record kPkce = record("Pkce", {
    {"verifier", Ty::String, "The code verifier: 43 base64url characters from 32 random bytes."},
    {"challenge", Ty::String, "The S256 code challenge of the verifier."}},
  "A PKCE pair: send the challenge with the authorisation request and the verifier with the token request.");

inline constexpr std::array kRecords = {kAppKey, kClaims, kDeed, kPkce};
// clang-format on

inline constexpr std::string_view kErrorName = "SdkError";
inline constexpr std::array<std::string_view, 2> kErrorVariants = {"Sdk", "InsecureOrigin"};
inline constexpr std::string_view kErrorDoc =
    "The one error of the interface. Sdk carries the full message of any refusal, its class prefix included; "
    "InsecureOrigin carries the bare text of a refusal by the fail-closed origin policy, so that a caller can "
    "tell a configuration problem from every other failure.";

consteval std::size_t op_index(std::string_view name) {
  for (std::size_t i = 0; i < kOps.size(); ++i)
    if (kOps[i].name == name) return i;
  throw "no such operation";
}

// The C types an export must have for its declared signature.
template <Ty t>
using CType = std::conditional_t<t == Ty::U64, std::uint64_t, std::conditional_t<t == Ty::Bool, std::int8_t, RustBuffer>>;

template <std::size_t I, std::size_t... J>
auto c_signature(std::index_sequence<J...>) -> CType<kOps[I].result> (*)(CType<kOps[I].args[J].type>..., RustCallStatus*);

template <std::size_t I>
using CFn = decltype(c_signature<I>(std::make_index_sequence<kOps[I].argc>{}));

}  // namespace qsdk::ffi::iface
