// The user-sig mode: the binding an app-scoped key signs, the subject of
// that key, the deed itself, and the wallet sign-in that derives the key
// (root binding, root seed, app key).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "base/error.hpp"
#include "base/secret.hpp"
#include "crypto/secp256k1.hpp"
#include "deed/deed.hpp"

namespace qsdk::core {

// "quorvel-sovereign-user-v1|tenant:..|aud:..|origin:..|challenge:..|exp:..".
// The origin is written as passed: canonicalising is the caller's duty.
std::string user_binding(std::uint64_t tenant, std::string_view aud, std::string_view origin,
                         std::string_view challenge, std::uint64_t exp);

// SHA-256 over "quorvel-sovereign-user-sub-v1" and the compressed key, in hex.
std::string user_sub(const PublicKey& key);

// Canonicalises the origin, signs SHA-256 of the user binding (never the
// EIP-191 digest) and returns the user-sig deed.
Result<Deed> mint_user_deed(const SecretKey& key, std::uint64_t tenant, std::string_view aud,
                            std::string_view origin, std::string_view challenge, std::uint64_t exp);

// The prose a wallet signs to derive the root seed, naming the canonical
// origin four times.
Result<std::string> user_root_binding(std::string_view origin);

// Signs the given bytes with the user's wallet. The signature is as secret
// as the seed derived from it.
using WalletSigner = std::function<Result<SecretBytes>(ByteView message)>;

// Asks the wallet twice for a signature over the root binding; identical
// answers give the 32-byte seed SHA-256(signature), anything else is refused.
Result<SecretBytes> derive_root_seed(std::string_view origin, const WalletSigner& sign);

// The app-scoped key for (tenant, canonical origin): HKDF-SHA-256 from the
// root seed, retried with a counter until the output is a valid scalar.
Result<SecretKey> derive_app_key(std::span<const std::uint8_t, 32> root_seed, std::uint64_t tenant,
                                 std::string_view origin);

}  // namespace qsdk::core
