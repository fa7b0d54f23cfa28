#include "crypto/secp256k1.hpp"

#include <secp256k1_recovery.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace qsdk::core {
namespace {

constexpr std::string_view kPersonalPrefix = "\x19" "Ethereum Signed Message:\n";
constexpr std::size_t kMinSecretKeyBytes = 24;

// One context for the whole process, created on first use and never changed
// afterwards (it is not randomised), so concurrent calls only read it, which
// libsecp256k1 allows. A misuse of the API must not abort the host process:
// the illegal-argument callback only lets the call return 0.
void ignore(const char*, void*) {}

// Created on first use and never changed afterwards; destroyed when the
// library is unloaded, so a host that dlclose()s it leaks nothing.
class Context {
 public:
  Context() : c_(secp256k1_context_create(SECP256K1_CONTEXT_NONE)) {
    if (c_ == nullptr) throw std::runtime_error("secp256k1: cannot create a context");
    secp256k1_context_set_illegal_callback(c_, ignore, nullptr);
    secp256k1_context_set_error_callback(c_, ignore, nullptr);
  }
  ~Context() { secp256k1_context_destroy(c_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  const secp256k1_context* get() const noexcept { return c_; }

 private:
  secp256k1_context* c_;
};

const secp256k1_context* ctx() {
  static const Context context;
  return context.get();
}

void require(int ok, const char* what) {
  if (ok != 1) throw std::runtime_error(what);
}

bool all_zero(ByteView bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// The recovery id a v byte stands for, when it is one of 0, 1, 27, 28.
std::optional<int> recovery_id_of(std::uint8_t v) {
  if (v <= 1) return v;
  if (v == 27 || v == 28) return v - 27;
  return std::nullopt;
}

}  // namespace

CoreError signature_error() { return CoreError::crypto(std::string(kSignatureError)); }

SecretString SecretKey::hex() const { return hex_encode_secret(bytes_); }

std::optional<SecretKey> secret_key_from_bytes(ByteView bytes) {
  if (bytes.size() < kMinSecretKeyBytes || bytes.size() > 32) return std::nullopt;
  std::array<std::uint8_t, 32> padded{};
  WipeOnExit wipe(padded);
  std::copy(bytes.begin(), bytes.end(), padded.end() - static_cast<std::ptrdiff_t>(bytes.size()));
  if (secp256k1_ec_seckey_verify(ctx(), padded.data()) != 1) return std::nullopt;
  return SecretKey(padded);
}

PublicKey::PublicKey(const secp256k1_pubkey& native) : native_(native) {
  std::size_t n = compressed_.size();
  require(secp256k1_ec_pubkey_serialize(ctx(), compressed_.data(), &n, &native_, SECP256K1_EC_COMPRESSED),
          "secp256k1: cannot serialise a public key");
  n = uncompressed_.size();
  require(secp256k1_ec_pubkey_serialize(ctx(), uncompressed_.data(), &n, &native_, SECP256K1_EC_UNCOMPRESSED),
          "secp256k1: cannot serialise a public key");
}

std::optional<PublicKey> public_key_from_sec1(ByteView bytes) {
  if (bytes.empty()) return std::nullopt;
  const std::uint8_t tag = bytes[0];
  const bool compressed = (tag == 0x02 || tag == 0x03) && bytes.size() == 33;
  const bool uncompressed = tag == 0x04 && bytes.size() == 65;
  // libsecp256k1 also reads the hybrid tags 06/07; only these two forms are ours.
  if (!compressed && !uncompressed) return std::nullopt;
  secp256k1_pubkey native;
  if (secp256k1_ec_pubkey_parse(ctx(), &native, bytes.data(), bytes.size()) != 1) return std::nullopt;
  return PublicKey(native);
}

PublicKey public_key_of(const SecretKey& key) {
  secp256k1_pubkey native;
  require(secp256k1_ec_pubkey_create(ctx(), &native, key.bytes().data()),
          "secp256k1: cannot derive a public key");
  return PublicKey(native);
}

Digest32 eip191_hash(ByteView message) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, message.size()).ptr;
  return keccak256({as_bytes(kPersonalPrefix), as_bytes(std::string_view(digits, end)), message});
}

Result<DigestSignature> sign_digest(const SecretKey& key, const Digest32& digest) {
  secp256k1_ecdsa_recoverable_signature sig;
  // A null nonce function selects RFC 6979 with HMAC-SHA-256; the library
  // always emits low s and adjusts the recovery id to match.
  if (secp256k1_ecdsa_sign_recoverable(ctx(), &sig, digest.data(), key.bytes().data(), nullptr, nullptr) != 1)
    return std::unexpected(signature_error());
  DigestSignature out;
  if (secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx(), out.rs.data(), &out.recovery_id, &sig) != 1)
    return std::unexpected(signature_error());
  return out;
}

Result<std::string> eip191_sign(std::string_view secret_key_text, ByteView message) {
  auto key = secret_key_from_hex(ErrorKind::Input, strip_every_0x(secret_key_text));
  if (!key) return std::unexpected(key.error());
  auto sig = sign_digest(*key, eip191_hash(message));
  if (!sig) return std::unexpected(sig.error());
  RecoverableSignature full;
  std::copy(sig->rs.begin(), sig->rs.end(), full.begin());
  full[64] = static_cast<std::uint8_t>(27 + sig->recovery_id);
  return "0x" + hex_encode(full);
}

Result<PublicKey> recover_signer_key(const Digest32& digest, ByteView signature) {
  if (signature.size() != 65) return std::unexpected(CoreError::input("signature must be 65 bytes"));
  // r and s are judged before v, so a bad r with a bad v reports the r.
  secp256k1_ecdsa_signature plain;
  if (all_zero(signature.subspan(0, 32)) || all_zero(signature.subspan(32, 32)) ||
      secp256k1_ecdsa_signature_parse_compact(ctx(), &plain, signature.data()) != 1)
    return std::unexpected(signature_error());
  const auto recid = recovery_id_of(signature[64]);
  if (!recid) return std::unexpected(CoreError::input("recovery id must be 0, 1, 27, or 28"));

  secp256k1_ecdsa_recoverable_signature sig;
  secp256k1_pubkey native;
  if (secp256k1_ecdsa_recoverable_signature_parse_compact(ctx(), &sig, signature.data(), *recid) != 1 ||
      secp256k1_ecdsa_recover(ctx(), &native, &sig, digest.data()) != 1)
    return std::unexpected(signature_error());
  // Recovery alone accepts the high-s twin of every signature. A key
  // recovered from (r, s) with recovery id 0 or 1 verifies (r, s) by
  // construction (u1*G + u2*Q is R again, whose x is r), so verifying would
  // only repeat the one test that matters: s <= n/2, which keeps one accepted
  // encoding per signed message. normalize returns 1 exactly when s is high.
  if (secp256k1_ecdsa_signature_normalize(ctx(), nullptr, &plain) == 1) return std::unexpected(signature_error());
  return PublicKey(native);
}

Result<Address> eip191_recover(ByteView message, ByteView signature) {
  auto key = recover_signer_key(eip191_hash(message), signature);
  if (!key) return std::unexpected(key.error());
  return eth_address(*key);
}

Address eth_address(const PublicKey& key) {
  const auto& point = key.uncompressed();
  const Digest32 h = keccak256(ByteView(point).subspan(1));
  Address out;
  std::copy(h.end() - static_cast<std::ptrdiff_t>(out.size()), h.end(), out.begin());
  return out;
}

std::string address_text(const Address& address) { return "0x" + hex_encode(address); }

Result<SecretKey> secret_key_from_hex(ErrorKind kind, std::string_view text) {
  auto bytes = decode_secret_hex_as(kind, text);
  if (!bytes) return std::unexpected(bytes.error());
  auto key = secret_key_from_bytes(*bytes);
  if (!key) return std::unexpected(signature_error());
  return std::move(*key);
}

}  // namespace qsdk::core
