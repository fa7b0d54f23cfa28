#include "deed/usersig.hpp"

#include <stdexcept>

#include "base/text.hpp"
#include "crypto/hash.hpp"
#include "crypto/hkdf.hpp"
#include "origin/origin.hpp"

namespace qsdk::core {
namespace {

constexpr std::string_view kUserSubTag = "quorvel-sovereign-user-sub-v1";
constexpr int kAppKeyAttempts = 64;

// OpenSSL's HKDF takes at most 32 KiB of info, which no call can split. The
// info is "tenant:" (7 bytes), up to 20 digits, "|origin:" (8), the origin,
// "|ctr:" (5) and up to 2 digits; a longer origin is refused, not failed.
constexpr std::size_t kMaxAppKeyOrigin = 32 * 1024 - (7 + 20 + 8 + 5 + 2);

std::string root_binding_text(std::string_view origin) {
  return cat(origin, " is asking you to sign in.\n",
             "\n",
             "Signing this message derives your private sign-in key for ", origin, ",\n",
             "and nothing else. Only sign it if you are on ", origin, " right now \u2014\n",
             "signing it on any other site lets that site sign in as you here.\n",
             "\n",
             "This is not a transaction and cannot move your funds.\n",
             "\n",
             "Origin: ", origin, "\n",
             "\n",
             "quorvel-sovereign-user-root-v2");
}

// The secret scalar an expansion stands for, when it lies in [1, n-1].
std::optional<SecretKey> app_key_attempt(ByteView prk, std::string_view label, int counter) {
  const std::string info = cat(label, "|ctr:", counter);
  const SecretBytes okm = hkdf_sha256_expand(prk, as_bytes(info), 32);
  return secret_key_from_bytes(okm);
}

}  // namespace

std::string user_binding(std::uint64_t tenant, std::string_view aud, std::string_view origin,
                         std::string_view challenge, std::uint64_t exp) {
  return cat("quorvel-sovereign-user-v1|tenant:", tenant, "|aud:", aud, "|origin:", origin,
             "|challenge:", challenge, "|exp:", exp);
}

std::string user_sub(const PublicKey& key) { return subject_digest({as_bytes(kUserSubTag), key.compressed()}); }

Result<Deed> mint_user_deed(const SecretKey& key, std::uint64_t tenant, std::string_view aud,
                            std::string_view origin, std::string_view challenge, std::uint64_t exp) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  const std::string binding = user_binding(tenant, aud, *canonical, challenge, exp);
  auto sig = sign_digest(key, sha256(as_bytes(binding)));
  // A valid key always signs; anything else is a fault of this library.
  if (!sig) throw std::runtime_error("user-sig: signing a valid key failed");
  const PublicKey pub = public_key_of(key);
  Deed deed = new_deed(kModeUserSig, user_sub(pub), tenant, aud, challenge, exp);
  deed.pubkey = pub.compressed_hex();
  deed.signature = hex_encode(sig->rs);
  return deed;
}

Result<std::string> user_root_binding(std::string_view origin) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  return root_binding_text(*canonical);
}

Result<SecretBytes> derive_root_seed(std::string_view origin, const WalletSigner& sign) {
  auto binding = user_root_binding(origin);
  if (!binding) return std::unexpected(binding.error());
  auto first = sign(as_bytes(*binding));
  if (!first) return std::unexpected(first.error());
  auto second = sign(as_bytes(*binding));
  if (!second) return std::unexpected(second.error());
  // A wallet that adds fresh randomness would give a new seed, and so a new
  // identity, at every sign-in.
  if (*first != *second) return std::unexpected(CoreError::crypto("wallet signing is non-deterministic; unsupported"));
  Digest32 seed = sha256(*first);
  WipeOnExit wipe(seed);
  return SecretBytes(seed.begin(), seed.end());
}

Result<SecretKey> derive_app_key(std::span<const std::uint8_t, 32> root_seed, std::uint64_t tenant,
                                 std::string_view origin) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  if (canonical->size() > kMaxAppKeyOrigin)
    return std::unexpected(
        CoreError::input(cat("origin must be at most ", kMaxAppKeyOrigin, " bytes to derive an app key")));
  const SecretBytes prk = hkdf_sha256_extract({}, root_seed);
  const std::string label = cat("tenant:", tenant, "|origin:", *canonical);
  for (int counter = 0; counter < kAppKeyAttempts; ++counter)
    if (auto key = app_key_attempt(prk, label, counter)) return std::move(*key);
  return std::unexpected(CoreError::crypto("could not derive a valid app key"));
}

}  // namespace qsdk::core
