// The exported metadata symbols and checksum functions. Each is an exact-size
// byte array with no terminator, kept in the static symbol table as well,
// which is where a bindings generator looks for it.
#include "ffi/metadata.hpp"

#include "ffi/frame.hpp"

using namespace qsdk::ffi;

#define QSDK_META_SYMBOL(SYMBOL, BLOB)                                                               \
  extern "C" {                                                                                        \
  __attribute__((visibility("default"))) extern const std::array<std::uint8_t, (BLOB).size> SYMBOL; \
  }                                                                                                   \
  const std::array<std::uint8_t, (BLOB).size> SYMBOL = meta::exact<BLOB>();

#define QSDK_FUNC_META(UPPER, lower)                                                                   \
  QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_FUNC_##UPPER, meta::kFuncBlob<QSDK_OP(lower)>)       \
  static_assert(meta::checksum_of(meta::kFuncBlob<QSDK_OP(lower)>.bytes,                               \
                                  meta::kFuncBlob<QSDK_OP(lower)>.size) ==                             \
                    iface::kOps[QSDK_OP(lower)].checksum,                                              \
                "metadata of " #lower " does not hash to its checksum");                               \
  QSDK_EXPORT uint16_t uniffi_quorvel_sdk_uniffi_checksum_func_##lower(void) {                        \
    return iface::kOps[QSDK_OP(lower)].checksum;                                                       \
  }



QSDK_FUNC_META(NORMALIZE_ORIGIN, normalize_origin)
QSDK_FUNC_META(USER_BINDING, user_binding)
QSDK_FUNC_META(USER_SUB, user_sub)
QSDK_FUNC_META(MINT_USER_DEED, mint_user_deed)
QSDK_FUNC_META(USER_ROOT_BINDING, user_root_binding)
QSDK_FUNC_META(DERIVE_ROOT_SEED, derive_root_seed)
QSDK_FUNC_META(DERIVE_APP_KEY, derive_app_key)
QSDK_FUNC_META(PASSKEY_SUB, passkey_sub)
QSDK_FUNC_META(MINT_USER_PASSKEY_DEED, mint_user_passkey_deed)
QSDK_FUNC_META(MINT_USER_1271_DEED, mint_user_1271_deed)
QSDK_FUNC_META(MINT_ADMIN_DEED, mint_admin_deed)
QSDK_FUNC_META(MINT_ADMIN_DEED_SMARTWALLET, mint_admin_deed_smartwallet)
QSDK_FUNC_META(DELEGATION_BINDING, delegation_binding)
QSDK_FUNC_META(DELEGATE, delegate)
QSDK_FUNC_META(PARENT_REF_HASH_ROOT, parent_ref_hash_root)
QSDK_FUNC_META(PARENT_REF_HASH_LINK, parent_ref_hash_link)
QSDK_FUNC_META(MINT_CAPABILITY_DEED, mint_capability_deed)
QSDK_FUNC_META(ORIGIN_VOUCH_BINDING, origin_vouch_binding)
QSDK_FUNC_META(ORIGIN_VOUCH_SIGNER, origin_vouch_signer)
QSDK_FUNC_META(ORIGIN_VOUCH_MAX_TTL_SECS, origin_vouch_max_ttl_secs)
QSDK_FUNC_META(IS_ORIGIN_VOUCHER_CALLDATA, is_origin_voucher_calldata)
QSDK_FUNC_META(DECODE_BOOL_RETURN, decode_bool_return)
QSDK_FUNC_META(GENERATE_PKCE, generate_pkce)
QSDK_FUNC_META(PKCE_CHALLENGE, pkce_challenge)
QSDK_FUNC_META(BUILD_AUTHORIZE_URL, build_authorize_url)
QSDK_FUNC_META(BUILD_CLIENT_ASSERTION, build_client_assertion)
QSDK_FUNC_META(SIGN_CLIENT_ASSERTION, sign_client_assertion)
QSDK_FUNC_META(VERIFY_TOKEN_AT, verify_token_at)
QSDK_FUNC_META(ISSUER_KEY_ID, issuer_key_id)

namespace qsdk::ffi::meta {
inline constexpr Blob kAppKeyBlob = record_blob(iface::kAppKey);
inline constexpr Blob kClaimsBlob = record_blob(iface::kClaims);
inline constexpr Blob kDeedBlob = record_blob(iface::kDeed);
inline constexpr Blob kPkceBlob = record_blob(iface::kPkce);
inline constexpr Blob kErrorBlob = error_blob();
inline constexpr Blob kNamespaceBlob = namespace_blob();
}  // namespace qsdk::ffi::meta

QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_APPKEY, meta::kAppKeyBlob)
QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_CLAIMS, meta::kClaimsBlob)
QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_DEED, meta::kDeedBlob)
QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_PKCE, meta::kPkceBlob)
QSDK_META_SYMBOL(UNIFFI_META_QUORVEL_SDK_UNIFFI_ERROR_SDKERROR, meta::kErrorBlob)
QSDK_META_SYMBOL(UNIFFI_META_NAMESPACE_QUORVEL_SDK_UNIFFI, meta::kNamespaceBlob)
