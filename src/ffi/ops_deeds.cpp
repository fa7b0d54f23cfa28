// Identity deed exports: each prepares its arguments (prefix rule, hex
// decoding, origin canonicalisation) in the order its contract fixes, then
// calls the core.
#include "crypto/secp256k1.hpp"
#include "deed/adminsig.hpp"
#include "deed/user1271.hpp"
#include "deed/userpasskey.hpp"
#include "deed/usersig.hpp"
#include "ffi/frame.hpp"
#include "origin/origin.hpp"

using namespace qsdk;
using core::ErrorKind;
using core::Result;

namespace {

// Runs `next` with the canonical origin, or returns the canonicaliser's error.
template <class Next>
auto with_canonical_origin(std::string_view origin, Next&& next) -> decltype(next(std::string())) {
  auto canonical = core::normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  return next(*canonical);
}

}  // namespace

QSDK_OPERATION(user_binding);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_binding(uint64_t tenant_id, RustBuffer aud,
                                                                      RustBuffer origin, RustBuffer challenge,
                                                                      uint64_t exp, RustCallStatus* status) {
  return ffi::run<QSDK_OP(user_binding)>(
      status,
      [](std::uint64_t tenant, std::string_view a, std::string_view o, std::string_view c, std::uint64_t e) {
        return with_canonical_origin(o, [&](std::string_view canonical) -> Result<std::string> {
          return core::hex_encode(core::as_bytes(core::user_binding(tenant, a, canonical, c, e)));
        });
      },
      tenant_id, aud, origin, challenge, exp);
}

QSDK_OPERATION(user_sub);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_sub(RustBuffer pubkey_hex, RustCallStatus* status) {
  return ffi::run<QSDK_OP(user_sub)>(
      status,
      [](std::string_view hex) -> Result<std::string> {
        auto bytes = core::decode_hex_as(ErrorKind::Crypto, hex);
        if (!bytes) return std::unexpected(bytes.error());
        auto key = core::public_key_from_sec1(*bytes);
        if (!key) return std::unexpected(core::signature_error());
        return core::user_sub(*key);
      },
      pubkey_hex);
}

QSDK_OPERATION(mint_user_deed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_deed(RustBuffer secret_key_hex, uint64_t tenant_id,
                                                                        RustBuffer aud, RustBuffer origin,
                                                                        RustBuffer challenge, uint64_t exp,
                                                                        RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_user_deed)>(
      status,
      [](std::string_view key_hex, std::uint64_t tenant, std::string_view a, std::string_view o,
         std::string_view c, std::uint64_t e) -> Result<core::Deed> {
        // The key is judged before the origin.
        auto key = core::secret_key_from_hex(ErrorKind::Crypto, key_hex);
        if (!key) return std::unexpected(key.error());
        return with_canonical_origin(o, [&](std::string_view canonical) {
          return core::mint_user_deed(*key, tenant, a, canonical, c, e);
        });
      },
      secret_key_hex, tenant_id, aud, origin, challenge, exp);
}

QSDK_OPERATION(user_root_binding);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_root_binding(RustBuffer origin, RustCallStatus* status) {
  return ffi::run<QSDK_OP(user_root_binding)>(
      status, [](std::string_view o) { return core::user_root_binding(o); }, origin);
}

QSDK_OPERATION(derive_root_seed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_derive_root_seed(RustBuffer origin, RustBuffer signature1_hex,
                                                                          RustBuffer signature2_hex,
                                                                          RustCallStatus* status) {
  return ffi::run<QSDK_OP(derive_root_seed)>(
      status,
      [](std::string_view o, std::string_view sig1_hex, std::string_view sig2_hex) -> Result<core::SecretString> {
        // Both signatures are decoded before the origin is looked at.
        auto first = core::decode_secret_hex_as(ErrorKind::Crypto, sig1_hex);
        if (!first) return std::unexpected(first.error());
        auto second = core::decode_secret_hex_as(ErrorKind::Crypto, sig2_hex);
        if (!second) return std::unexpected(second.error());
        // The host already asked its wallet twice; replay its answers in order.
        int asked = 0;
        const core::WalletSigner replay = [&](core::ByteView) -> Result<core::SecretBytes> {
          return ++asked == 1 ? *first : *second;
        };
        auto seed = core::derive_root_seed(o, replay);
        if (!seed) return std::unexpected(seed.error());
        return core::hex_encode_secret(*seed);
      },
      origin, signature1_hex, signature2_hex);
}

QSDK_OPERATION(derive_app_key);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_derive_app_key(RustBuffer root_seed_hex, uint64_t tenant_id,
                                                                        RustBuffer origin, RustCallStatus* status) {
  return ffi::run<QSDK_OP(derive_app_key)>(
      status,
      [](std::string_view seed_hex, std::uint64_t tenant, std::string_view o) -> Result<ffi::AppKeyRecord> {
        auto seed = core::decode_secret_hex_as(ErrorKind::Crypto, seed_hex);
        if (!seed) return std::unexpected(seed.error());
        if (seed->size() != 32)
          return std::unexpected(core::CoreError::input("rootSeedHex must decode to exactly 32 bytes"));
        auto key = core::derive_app_key(std::span<const std::uint8_t, 32>(seed->data(), 32), tenant, o);
        if (!key) return std::unexpected(key.error());
        return ffi::AppKeyRecord{key->hex(), core::public_key_of(*key).compressed_hex()};
      },
      root_seed_hex, tenant_id, origin);
}

QSDK_OPERATION(passkey_sub);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_passkey_sub(uint64_t tenant_id, RustBuffer origin,
                                                                     RustBuffer credential_pubkey_hex,
                                                                     RustCallStatus* status) {
  return ffi::run<QSDK_OP(passkey_sub)>(
      status,
      [](std::uint64_t tenant, std::string_view o, std::string_view key) {
        // The interface promises a subject for every key text a host can
        // mean; one too long for ICU is a misuse, reported as a fault.
        auto sub = core::passkey_sub(tenant, o, key);
        if (!sub) throw ffi::InternalFailure(sub.error().text());
        return std::move(*sub);
      },
      tenant_id, origin, credential_pubkey_hex);
}

QSDK_OPERATION(mint_user_passkey_deed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_passkey_deed(
    RustBuffer credential_pubkey_hex, RustBuffer authenticator_data_hex, RustBuffer client_data_json_b64url,
    RustBuffer assertion_sig_hex, uint64_t tenant_id, RustBuffer aud, RustBuffer origin, RustBuffer challenge,
    uint64_t exp, RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_user_passkey_deed)>(
      status,
      [](std::string_view key, std::string_view auth_data, std::string_view client_data,
         std::string_view sig, std::uint64_t tenant, std::string_view a, std::string_view o,
         std::string_view c, std::uint64_t e) {
        return with_canonical_origin(o, [&](std::string_view canonical) {
          return core::mint_user_passkey_deed({key, auth_data, client_data, sig}, tenant, a, canonical, c, e);
        });
      },
      credential_pubkey_hex, authenticator_data_hex, client_data_json_b64url, assertion_sig_hex, tenant_id, aud,
      origin, challenge, exp);
}

QSDK_OPERATION(mint_user_1271_deed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_1271_deed(RustBuffer signer_addr_hex,
                                                                             RustBuffer wallet_sig_hex,
                                                                             uint64_t tenant_id, RustBuffer aud,
                                                                             RustBuffer origin, RustBuffer challenge,
                                                                             uint64_t exp, RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_user_1271_deed)>(
      status,
      [](std::string_view addr, std::string_view sig, std::uint64_t tenant, std::string_view a,
         std::string_view o, std::string_view c, std::uint64_t e) {
        return with_canonical_origin(o, [&](std::string_view canonical) {
          return core::mint_user_1271_deed(addr, sig, tenant, a, canonical, c, e);
        });
      },
      signer_addr_hex, wallet_sig_hex, tenant_id, aud, origin, challenge, exp);
}

QSDK_OPERATION(mint_admin_deed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_admin_deed(RustBuffer wallet_sig_hex, uint64_t tenant_id,
                                                                         RustBuffer aud, RustBuffer challenge,
                                                                         uint64_t exp, RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_admin_deed)>(
      status,
      [](std::string_view sig_hex, std::uint64_t tenant, std::string_view a, std::string_view c,
         std::uint64_t e) -> Result<core::Deed> {
        auto sig = core::decode_hex_as(ErrorKind::Input, core::strip_every_0x(sig_hex));
        if (!sig) return std::unexpected(sig.error());
        return core::mint_admin_deed(*sig, tenant, a, c, e);
      },
      wallet_sig_hex, tenant_id, aud, challenge, exp);
}

QSDK_OPERATION(mint_admin_deed_smartwallet);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_admin_deed_smartwallet(RustBuffer signer_addr_hex,
                                                                                     RustBuffer wallet_sig_hex,
                                                                                     uint64_t tenant_id, RustBuffer aud,
                                                                                     RustBuffer challenge, uint64_t exp,
                                                                                     RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_admin_deed_smartwallet)>(
      status,
      [](std::string_view addr, std::string_view sig, std::uint64_t tenant, std::string_view a,
         std::string_view c, std::uint64_t e) {
        return core::mint_admin_deed_smartwallet(addr, sig, tenant, a, c, e);
      },
      signer_addr_hex, wallet_sig_hex, tenant_id, aud, challenge, exp);
}
