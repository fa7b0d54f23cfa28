// The declared interface, in one table: every operation's arguments, result,
// error, checksum and documentation, and every record's fields. The metadata
// blobs, the checksum exports and the signature checks of the exports are all
// derived from it, so the pieces a host binds against cannot drift apart.
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

struct Arg {
  std::string_view name;
  Ty type;
};

inline constexpr std::size_t kMaxArgs = 10;

struct Op {
  std::string_view name;
  std::array<Arg, kMaxArgs> args{};
  std::size_t argc = 0;
  Ty result = Ty::String;
  bool throws = false;  // declares SdkError
  std::uint16_t checksum = 0;
  std::string_view doc;
};

constexpr Op op(std::string_view name, std::initializer_list<Arg> args, Ty result, bool throws, std::uint16_t checksum,
                std::string_view doc) {
  Op o{name, {}, args.size(), result, throws, checksum, doc};
  std::size_t i = 0;
  for (const Arg& a : args) o.args[i++] = a;
  return o;
}

inline constexpr bool kThrows = true;
inline constexpr bool kNoError = false;

// clang-format off
inline constexpr std::array kOps = {
  op("normalize_origin", {{"origin", Ty::String}}, Ty::String, kThrows, 7290,
     "Canonicalises a web origin to scheme://host[:port]: lower-cased host, default port dropped, one trailing "
     "slash tolerated. Two spellings of one origin must sign identical bytes, and a malformed origin must be "
     "refused when a deed is made rather than failing later at the relying party; canonicalise once and use the "
     "result for both fetching and signing."),
  op("user_binding", {{"tenant_id", Ty::U64}, {"aud", Ty::String}, {"origin", Ty::String}, {"challenge", Ty::String},
     {"exp", Ty::U64}}, Ty::String, kThrows, 29260,
     "Returns, as hex, the exact bytes an app-scoped key signs for a user-sig deed, with the origin canonicalised "
     "first. For hosts that sign themselves: hash the bytes with SHA-256 and sign the digest, never with the "
     "EIP-191 prefix. The origin sits right after aud so that swapping the two is visible in every binding."),
  op("user_sub", {{"pubkey_hex", Ty::String}}, Ty::String, kThrows, 46850,
     "Returns the pseudonymous subject of an app-scoped public key: SHA-256 over a fixed tag and the compressed "
     "key. Compressed and uncompressed encodings of one key give one subject, so a relying party never sees the "
     "wallet behind it."),
  op("mint_user_deed", {{"secret_key_hex", Ty::String}, {"tenant_id", Ty::U64}, {"aud", Ty::String},
     {"origin", Ty::String}, {"challenge", Ty::String}, {"exp", Ty::U64}}, Ty::Deed, kThrows, 56987,
     "Mints a user-sig deed: canonicalises the origin, signs the SHA-256 digest of the user binding with the "
     "app-scoped key (deterministic nonce, low s) and returns the deed. The origin is signed but not stored, so a "
     "deed obtained at one origin cannot be relayed to a relying party that serves another."),
  op("user_root_binding", {{"origin", Ty::String}}, Ty::String, kThrows, 6149,
     "Returns the prose a wallet signs, twice, to derive the user's root seed for an origin. The prose names the "
     "origin so that a signature given to one site cannot be replayed to derive another site's keys."),
  op("derive_root_seed", {{"origin", Ty::String}, {"signature1_hex", Ty::String}, {"signature2_hex", Ty::String}},
     Ty::String, kThrows, 52020,
     "Derives the 32-byte root seed from two signatures of the root binding. Both must be identical: a wallet "
     "whose signatures are not deterministic would yield a different seed at every sign-in, so it is refused."),
  op("derive_app_key", {{"root_seed_hex", Ty::String}, {"tenant_id", Ty::U64}, {"origin", Ty::String}},
     Ty::AppKey, kThrows, 41135,
     "Derives the app-scoped secp256k1 key for one (tenant, origin) pair from the root seed with HKDF-SHA-256. "
     "Each relying party sees an unlinkable key, and the same seed always yields the same key."),
  op("passkey_sub", {{"tenant_id", Ty::U64}, {"origin", Ty::String}, {"credential_pubkey_hex", Ty::String}},
     Ty::String, kNoError, 52266,
     "Returns the subject of a passkey credential for a tenant and an origin the caller has already "
     "canonicalised, so that one authenticator yields unlinkable subjects across tenants and origins."),
  op("mint_user_passkey_deed", {{"credential_pubkey_hex", Ty::String}, {"authenticator_data_hex", Ty::String},
     {"client_data_json_b64url", Ty::String}, {"assertion_sig_hex", Ty::String}, {"tenant_id", Ty::U64},
     {"aud", Ty::String}, {"origin", Ty::String}, {"challenge", Ty::String}, {"exp", Ty::U64}}, Ty::Deed, kThrows,
     28256,
     "Wraps a WebAuthn assertion into a user-passkey deed. The library neither decodes nor verifies the "
     "assertion: it carries the four texts unchanged (the key lower-cased) for the relying party to verify "
     "against the credential key, and derives the subject from the key, the tenant and the canonical origin."),
  op("mint_user_1271_deed", {{"signer_addr_hex", Ty::String}, {"wallet_sig_hex", Ty::String}, {"tenant_id", Ty::U64},
     {"aud", Ty::String}, {"origin", Ty::String}, {"challenge", Ty::String}, {"exp", Ty::U64}}, Ty::Deed, kThrows,
     33666,
     "Mints a user-1271 deed for a smart-contract wallet. Such a signature can only be checked on chain "
     "(EIP-1271), so the deed carries the wallet address and signature for the relying party to verify."),
  op("mint_admin_deed", {{"wallet_sig_hex", Ty::String}, {"tenant_id", Ty::U64}, {"aud", Ty::String},
     {"challenge", Ty::String}, {"exp", Ty::U64}}, Ty::Deed, kThrows, 33438,
     "Mints an admin-sig deed from a tenant administrator's EIP-191 signature of the admin binding; the subject "
     "is the recovered signer address, which the relying party matches against the tenant's administrators."),
  op("mint_admin_deed_smartwallet", {{"signer_addr_hex", Ty::String}, {"wallet_sig_hex", Ty::String},
     {"tenant_id", Ty::U64}, {"aud", Ty::String}, {"challenge", Ty::String}, {"exp", Ty::U64}}, Ty::Deed, kThrows,
     23054,
     "Mints an admin-sig deed for an administrator whose wallet is a smart contract: the subject is the wallet "
     "address, and the signature is left for the relying party to check on chain."),
  op("delegation_binding", {{"tenant_id", Ty::U64}, {"iss", Ty::String}, {"to", Ty::String},
     {"grants_json", Ty::String}, {"exp", Ty::U64}, {"epoch_label_hex", Ty::String}, {"epoch", Ty::U64},
     {"parent_ref_hash_hex", Ty::String}}, Ty::String, kThrows, 38187,
     "Returns, as hex, the bytes a delegator signs for one delegation link. The grants are embedded in their "
     "canonical form, never as the caller typed them, so the verifier rebuilds identical bytes."),
  op("delegate", {{"tenant_id", Ty::U64}, {"iss", Ty::String}, {"to", Ty::String}, {"grants_json", Ty::String},
     {"exp", Ty::U64}, {"epoch_label_hex", Ty::String}, {"epoch", Ty::U64}, {"parent_ref_hash_hex", Ty::String},
     {"pubkey_hex", Ty::OptString}, {"signature_hex", Ty::String}}, Ty::String, kThrows, 32777,
     "Assembles a signed delegation link as canonical JSON from the values the delegator signed and the "
     "signature. The public key is only needed for signers whose key cannot be recovered from the signature."),
  op("parent_ref_hash_root", {{"root_id", Ty::String}}, Ty::String, kNoError, 15897,
     "Returns the parent reference that chains the first delegation link to the root principal's identity."),
  op("parent_ref_hash_link", {{"parent_link_json", Ty::String}}, Ty::String, kThrows, 7361,
     "Returns the parent reference of a delegation link: a hash of its canonical JSON, so that reordering or "
     "re-spacing the link cannot change the chain."),
  op("mint_capability_deed", {{"base_deed", Ty::Deed}, {"grants_json", Ty::String},
     {"delegation_chain_json", Ty::String}}, Ty::Deed, kThrows, 49585,
     "Attaches grants and a delegation chain, in canonical JSON, to an identity deed. Nothing is re-signed: the "
     "chain carries its own signatures and the deed's proof is left as it was."),
  op("origin_vouch_binding", {{"tenant_id", Ty::U64}, {"aud", Ty::String}, {"origin", Ty::String},
     {"epoch", Ty::U64}, {"exp", Ty::U64}, {"allow_insecure_origin", Ty::Bool}}, Ty::String, kThrows, 36505,
     "Returns the prose a tenant administrator signs to vouch that an origin speaks for the tenant. Fails closed: "
     "plain-HTTP and loopback, private or link-local origins are refused as InsecureOrigin unless "
     "allow_insecure_origin is set, for local development only."),
  op("origin_vouch_signer", {{"tenant_id", Ty::U64}, {"aud", Ty::String}, {"origin", Ty::String},
     {"epoch", Ty::U64}, {"exp", Ty::U64}, {"signature_hex", Ty::String}}, Ty::String, kThrows, 27444,
     "Recovers the address that signed an origin vouch, given the origin the holder observed itself; the caller "
     "then asks the on-chain registry whether that address may vouch for the tenant."),
  op("origin_vouch_max_ttl_secs", {}, Ty::U64, kNoError, 39703,
     "The longest lifetime a vouch may claim, in seconds (90 days); a vouch whose expiry lies further ahead must "
     "be rejected by the holder."),
  op("is_origin_voucher_calldata", {{"tenant_id", Ty::U64}, {"signer_hex", Ty::String}, {"epoch", Ty::U64}},
     Ty::Bytes, kThrows, 36822,
     "Builds the call data of the registry query isOriginVoucher(uint256,address,uint64) for a read-only chain "
     "call; the library never talks to a chain itself."),
  op("decode_bool_return", {{"ret", Ty::Bytes}}, Ty::Bool, kThrows, 24056,
     "Decodes the registry's 32-byte boolean answer. An empty or short return is an error, never false, so a "
     "failed chain call cannot be mistaken for a refusal."),
  op("generate_pkce", {}, Ty::Pkce, kNoError, 34530,
     "Generates a fresh PKCE verifier from the operating system's random source, with its S256 challenge."),
  op("pkce_challenge", {{"verifier", Ty::String}}, Ty::String, kNoError, 22506,
     "Returns the S256 challenge of a PKCE verifier: base64url of its SHA-256 digest, unpadded."),
  op("build_authorize_url", {{"issuer", Ty::String}, {"client_id", Ty::String}, {"redirect_uri", Ty::String},
     {"state", Ty::String}, {"nonce", Ty::String}, {"code_challenge", Ty::String}}, Ty::String, kThrows, 32881,
     "Builds the authorisation request URL from the issuer by the URL Standard, with every parameter encoded by "
     "the form serializer, so that no caller value can inject or override a parameter."),
  op("build_client_assertion", {{"domain", Ty::String}, {"tenant_id", Ty::U64}, {"nonce", Ty::String},
     {"issued_at", Ty::U64}}, Ty::String, kNoError, 23399,
     "Returns the client-credentials assertion text that a client's key signs, binding domain, tenant, nonce and "
     "time so that an assertion cannot be replayed elsewhere."),
  op("sign_client_assertion", {{"secret_key_hex", Ty::String}, {"domain", Ty::String}, {"tenant_id", Ty::U64},
     {"nonce", Ty::String}, {"issued_at", Ty::U64}}, Ty::String, kThrows, 62989,
     "Signs the client assertion text with EIP-191 personal sign under a raw secret key, as a wallet would."),
  op("verify_token_at", {{"jwt", Ty::String}, {"jwks_json", Ty::String}, {"expected_iss", Ty::String},
     {"expected_aud", Ty::String}, {"now_unix", Ty::U64}}, Ty::Claims, kThrows, 39659,
     "Verifies an ES256 token against the issuer's key set at a clock the caller supplies, and returns its "
     "claims. The library never reads the clock, so the caller decides what now means; the nonce is returned "
     "for the caller to compare."),
  op("issuer_key_id", {{"jwk_json", Ty::String}}, Ty::String, kThrows, 8122,
     "Returns the RFC 7638 thumbprint of an EC P-256 key as hex: a key identifier that does not depend on "
     "member order or extra members."),
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
