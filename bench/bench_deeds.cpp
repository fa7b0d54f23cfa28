// The deed exports beside the libsecp256k1, OpenSSL or SHA-256 work each is
// built on, and never more than the export must do. Where an export
// necessarily does more than one primitive (a user-sig mint also derives the
// public key it publishes), the floor is that composition; the admin mint's
// is the recovery alone, on the same signature and digest.
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <secp256k1.h>

#include <memory>
#include <string_view>

#include "constants.hpp"
#include "table.hpp"

namespace {

using namespace bench;

Floor sign_and_pubkey_floor() {
  auto s = std::make_shared<Secp>();
  return {"SHA-256 + secp256k1 sign + pubkey create", [s] {
            unsigned char digest[32];
            SHA256(reinterpret_cast<const unsigned char*>(kOrigin.data()), kOrigin.size(), digest);
            secp256k1_ecdsa_signature sig;
            secp256k1_pubkey pub;
            benchmark::DoNotOptimize(secp256k1_ecdsa_sign(s->ctx, &sig, digest, kKey.data(), nullptr, nullptr));
            benchmark::DoNotOptimize(secp256k1_ec_pubkey_create(s->ctx, &pub, kKey.data()));
          }};
}

// HKDF-SHA-256 is two HMACs here (extract, one-block expand).
Floor hkdf_and_pubkey_floor() {
  auto s = std::make_shared<Secp>();
  return {"HKDF-SHA-256 + secp256k1 pubkey create", [s] {
            static constexpr unsigned char seed[32] = {1}, zeros[32] = {};
            static constexpr char info[] = "tenant:7|origin:https://app.example|ctr:0\x01";
            unsigned char prk[32], okm[32];
            unsigned int n = 0;
            HMAC(EVP_sha256(), zeros, 32, seed, 32, prk, &n);
            HMAC(EVP_sha256(), prk, 32, reinterpret_cast<const unsigned char*>(info), sizeof info - 1, okm, &n);
            secp256k1_pubkey pub;
            benchmark::DoNotOptimize(secp256k1_ec_pubkey_create(s->ctx, &pub, okm));
          }};
}

Floor parse_and_sha256_floor() {
  return {"secp256k1 pubkey parse + SHA-256", [] {
            static const host::Bytes point = [] {
              host::Bytes p{0x02};
              for (std::size_t i = 2; i < kPubkeyHex.size(); i += 2)
                p.push_back(static_cast<std::uint8_t>(std::stoi(kPubkeyHex.substr(i, 2), nullptr, 16)));
              return p;
            }();
            secp256k1_pubkey pub;
            unsigned char out[32];
            benchmark::DoNotOptimize(
                secp256k1_ec_pubkey_parse(secp256k1_context_static, &pub, point.data(), point.size()));
            benchmark::DoNotOptimize(SHA256(point.data(), point.size(), out));
          }};
}

// A WebAuthn assertion of typical size; the library carries it unchecked.
const std::string kCredential =
    "04" + std::string(64, 'a') + std::string(64, 'b');
const std::string kAuthData = std::string(74, 'c');
const std::string kClientData = std::string(180, 'Q');
const std::string kAssertionSig = "3045" + std::string(138, 'd');
const std::string kWalletSig(130, 'e');

// What a subject hashes: tag "|tenant:7|origin:" origin "|" name ":" key.
std::size_t subject_bytes(std::string_view tag, std::string_view name, std::string_view key) {
  return tag.size() + std::string_view("|tenant:7|origin:").size() + kOrigin.size() + 1 + name.size() + 1 + key.size();
}
const std::size_t kPasskeySubject = subject_bytes("quorvel-sovereign-user-passkey-sub-v1", "pubkey", kCredential);
const std::size_t k1271Subject = subject_bytes("quorvel-sovereign-user-1271-sub-v1", "wallet", kAddress.substr(2));

const bool registered = add({
    {"user_binding", call(QSDK_FN(user_binding), std::uint64_t{7}, "rp", kOrigin, "c1", std::uint64_t{99}),
     buffer_floor({"rp", kOrigin, "c1"})},
    {"user_sub", call(QSDK_FN(user_sub), kPubkeyHex), parse_and_sha256_floor()},
    {"mint_user_deed", call(QSDK_FN(mint_user_deed), kKeyHex, std::uint64_t{7}, "rp", kOrigin, "c1", std::uint64_t{99}),
     sign_and_pubkey_floor()},
    {"user_root_binding", call(QSDK_FN(user_root_binding), kOrigin), buffer_floor({kOrigin})},
    {"derive_root_seed", call(QSDK_FN(derive_root_seed), kOrigin, kRootSig, kRootSig), sha256_floor(65)},
    {"derive_app_key", call(QSDK_FN(derive_app_key), std::string(64, 'a'), std::uint64_t{7}, kOrigin),
     hkdf_and_pubkey_floor()},
    {"passkey_sub", call(QSDK_FN(passkey_sub), std::uint64_t{7}, kOrigin, kCredential), sha256_floor(kPasskeySubject)},
    {"mint_user_passkey_deed",
     call(QSDK_FN(mint_user_passkey_deed), kCredential, kAuthData, kClientData, kAssertionSig, std::uint64_t{7}, "rp",
          kOrigin, "c1", std::uint64_t{99}),
     sha256_floor(kPasskeySubject)},
    {"mint_user_1271_deed",
     call(QSDK_FN(mint_user_1271_deed), kAddress, kWalletSig, std::uint64_t{7}, "rp", kOrigin, "c1", std::uint64_t{99}),
     sha256_floor(k1271Subject)},
    {"mint_admin_deed", call(QSDK_FN(mint_admin_deed), kAdminSig, std::uint64_t{7}, "rp", "c1", std::uint64_t{99}),
     recover_floor(kAdminBinding, kAdminSig)},
    {"mint_admin_deed_smartwallet",
     call(QSDK_FN(mint_admin_deed_smartwallet), kAddress, kWalletSig, std::uint64_t{7}, "rp", "c1", std::uint64_t{99}),
     buffer_floor({kAddress, kWalletSig, "rp", "c1"})},
});

}  // namespace
