/*
 * quorvel_sdk_uniffi: the flat C interface of the Quorvel client toolkit.
 *
 * Conventions (contract version 30):
 *  - Every operation takes its arguments in declared order, then a pointer to
 *    a RustCallStatus that the caller has zeroed. The library writes the
 *    status only when the call does not succeed:
 *      code 1  the operation refused: error_buf holds SdkError
 *              (i32 big-endian variant index, 1 = Sdk, 2 = InsecureOrigin,
 *               then the message as i32 big-endian length and UTF-8 bytes);
 *      code 2  internal failure (an argument could not be converted, or an
 *              internal check fired): error_buf holds the raw UTF-8 message.
 *  - Texts travel as RustBuffer holding bare UTF-8; byte arrays, optionals and
 *    records in their serialised forms (all integers big-endian).
 *  - Every RustBuffer passed as an argument is consumed by the call, on every
 *    path. Every buffer the library returns, the error_buf included, belongs
 *    to the caller until passed back to ffi_quorvel_sdk_uniffi_rustbuffer_free
 *    or as an argument.
 *  - Every export is thread-safe; the library keeps no state between calls.
 */
#ifndef QUORVEL_SDK_UNIFFI_H
#define QUORVEL_SDK_UNIFFI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RustBuffer {
  uint64_t capacity;
  uint64_t len;
  uint8_t* data;
} RustBuffer;

typedef struct ForeignBytes {
  int32_t len;
  const uint8_t* data;
} ForeignBytes;

typedef struct RustCallStatus {
  int8_t code;
  RustBuffer error_buf;
} RustCallStatus;

/* Buffers and interface identity. */
RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_alloc(uint64_t size, RustCallStatus* status);
RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes(ForeignBytes bytes, RustCallStatus* status);
void ffi_quorvel_sdk_uniffi_rustbuffer_free(RustBuffer buf, RustCallStatus* status);
RustBuffer ffi_quorvel_sdk_uniffi_rustbuffer_reserve(RustBuffer buf, uint64_t additional, RustCallStatus* status);
uint32_t ffi_quorvel_sdk_uniffi_uniffi_contract_version(void);

/* Origins. */
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin(RustBuffer origin, RustCallStatus* status);

/* Identity deeds. */
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_binding(uint64_t tenant_id, RustBuffer aud, RustBuffer origin,
                                                          RustBuffer challenge, uint64_t exp, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_sub(RustBuffer pubkey_hex, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_deed(RustBuffer secret_key_hex, uint64_t tenant_id,
                                                            RustBuffer aud, RustBuffer origin, RustBuffer challenge,
                                                            uint64_t exp, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_user_root_binding(RustBuffer origin, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_derive_root_seed(RustBuffer origin, RustBuffer signature1_hex,
                                                              RustBuffer signature2_hex, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_derive_app_key(RustBuffer root_seed_hex, uint64_t tenant_id,
                                                            RustBuffer origin, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_passkey_sub(uint64_t tenant_id, RustBuffer origin,
                                                         RustBuffer credential_pubkey_hex, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_passkey_deed(
    RustBuffer credential_pubkey_hex, RustBuffer authenticator_data_hex, RustBuffer client_data_json_b64url,
    RustBuffer assertion_sig_hex, uint64_t tenant_id, RustBuffer aud, RustBuffer origin, RustBuffer challenge,
    uint64_t exp, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_user_1271_deed(RustBuffer signer_addr_hex, RustBuffer wallet_sig_hex,
                                                                 uint64_t tenant_id, RustBuffer aud, RustBuffer origin,
                                                                 RustBuffer challenge, uint64_t exp,
                                                                 RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_admin_deed(RustBuffer wallet_sig_hex, uint64_t tenant_id,
                                                             RustBuffer aud, RustBuffer challenge, uint64_t exp,
                                                             RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_admin_deed_smartwallet(RustBuffer signer_addr_hex,
                                                                         RustBuffer wallet_sig_hex, uint64_t tenant_id,
                                                                         RustBuffer aud, RustBuffer challenge,
                                                                         uint64_t exp, RustCallStatus* status);

/* Capabilities and delegation. */
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_delegation_binding(uint64_t tenant_id, RustBuffer iss, RustBuffer to,
                                                                RustBuffer grants_json, uint64_t exp,
                                                                RustBuffer epoch_label_hex, uint64_t epoch,
                                                                RustBuffer parent_ref_hash_hex, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_delegate(uint64_t tenant_id, RustBuffer iss, RustBuffer to,
                                                      RustBuffer grants_json, uint64_t exp, RustBuffer epoch_label_hex,
                                                      uint64_t epoch, RustBuffer parent_ref_hash_hex,
                                                      RustBuffer pubkey_hex, RustBuffer signature_hex,
                                                      RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_root(RustBuffer root_id, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_link(RustBuffer parent_link_json, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_capability_deed(RustBuffer base_deed, RustBuffer grants_json,
                                                                  RustBuffer delegation_chain_json,
                                                                  RustCallStatus* status);

/* Origin vouch. */
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_binding(uint64_t tenant_id, RustBuffer aud,
                                                                  RustBuffer origin, uint64_t epoch, uint64_t exp,
                                                                  int8_t allow_insecure_origin,
                                                                  RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_signer(uint64_t tenant_id, RustBuffer aud, RustBuffer origin,
                                                                 uint64_t epoch, uint64_t exp,
                                                                 RustBuffer signature_hex, RustCallStatus* status);
uint64_t uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_max_ttl_secs(RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_is_origin_voucher_calldata(uint64_t tenant_id, RustBuffer signer_hex,
                                                                        uint64_t epoch, RustCallStatus* status);
int8_t uniffi_quorvel_sdk_uniffi_fn_func_decode_bool_return(RustBuffer ret, RustCallStatus* status);

/* OAuth client. */
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_generate_pkce(RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_pkce_challenge(RustBuffer verifier, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_build_authorize_url(RustBuffer issuer, RustBuffer client_id,
                                                                 RustBuffer redirect_uri, RustBuffer state,
                                                                 RustBuffer nonce, RustBuffer code_challenge,
                                                                 RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_build_client_assertion(RustBuffer domain, uint64_t tenant_id,
                                                                    RustBuffer nonce, uint64_t issued_at,
                                                                    RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_sign_client_assertion(RustBuffer secret_key_hex, RustBuffer domain,
                                                                   uint64_t tenant_id, RustBuffer nonce,
                                                                   uint64_t issued_at, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_verify_token_at(RustBuffer jwt, RustBuffer jwks_json,
                                                             RustBuffer expected_iss, RustBuffer expected_aud,
                                                             uint64_t now_unix, RustCallStatus* status);
RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_issuer_key_id(RustBuffer jwk_json, RustCallStatus* status);

/*
 * Asynchronous calls. No operation of this interface returns a future; these
 * exports complete the calling conventions so that every binding finds the
 * symbols it may bind. A future handle names one reference-counted future;
 * the host holds one reference until it calls the matching free.
 *  - poll runs the computation one step and later calls callback(callback_data,
 *    code) exactly once: 0 means ready (call complete), 1 means poll again.
 *  - cancel makes every later poll report ready; complete then reports
 *    code 3 (cancelled) with an empty error_buf unless the computation had
 *    already finished.
 *  - complete takes the outcome once: the value, or the failure (code 1 or 2)
 *    written into status. A second complete reports cancelled.
 *  - free cancels (a stored callback is called with 0) and ends the handle.
 * Callbacks are never called while the library holds a lock of the future.
 */
typedef void (*UniffiRustFutureContinuationCallback)(uint64_t data, int8_t poll_code);

#define QSDK_DECLARE_FUTURE(suffix, type)                                                           \
  void ffi_quorvel_sdk_uniffi_rust_future_poll_##suffix(                                          \
      uint64_t handle, UniffiRustFutureContinuationCallback callback, uint64_t callback_data);     \
  void ffi_quorvel_sdk_uniffi_rust_future_cancel_##suffix(uint64_t handle);                        \
  type ffi_quorvel_sdk_uniffi_rust_future_complete_##suffix(uint64_t handle, RustCallStatus* status); \
  void ffi_quorvel_sdk_uniffi_rust_future_free_##suffix(uint64_t handle);
QSDK_DECLARE_FUTURE(u8, uint8_t)
QSDK_DECLARE_FUTURE(i8, int8_t)
QSDK_DECLARE_FUTURE(u16, uint16_t)
QSDK_DECLARE_FUTURE(i16, int16_t)
QSDK_DECLARE_FUTURE(u32, uint32_t)
QSDK_DECLARE_FUTURE(i32, int32_t)
QSDK_DECLARE_FUTURE(u64, uint64_t)
QSDK_DECLARE_FUTURE(i64, int64_t)
QSDK_DECLARE_FUTURE(f32, float)
QSDK_DECLARE_FUTURE(f64, double)
QSDK_DECLARE_FUTURE(rust_buffer, RustBuffer)
QSDK_DECLARE_FUTURE(void, void)
#undef QSDK_DECLARE_FUTURE

/* Checksums: one per operation, identifying its declared signature. */
#define QSDK_DECLARE_CHECKSUM(name) uint16_t uniffi_quorvel_sdk_uniffi_checksum_func_##name(void);
QSDK_DECLARE_CHECKSUM(normalize_origin)
QSDK_DECLARE_CHECKSUM(user_binding)
QSDK_DECLARE_CHECKSUM(user_sub)
QSDK_DECLARE_CHECKSUM(mint_user_deed)
QSDK_DECLARE_CHECKSUM(user_root_binding)
QSDK_DECLARE_CHECKSUM(derive_root_seed)
QSDK_DECLARE_CHECKSUM(derive_app_key)
QSDK_DECLARE_CHECKSUM(passkey_sub)
QSDK_DECLARE_CHECKSUM(mint_user_passkey_deed)
QSDK_DECLARE_CHECKSUM(mint_user_1271_deed)
QSDK_DECLARE_CHECKSUM(mint_admin_deed)
QSDK_DECLARE_CHECKSUM(mint_admin_deed_smartwallet)
QSDK_DECLARE_CHECKSUM(delegation_binding)
QSDK_DECLARE_CHECKSUM(delegate)
QSDK_DECLARE_CHECKSUM(parent_ref_hash_root)
QSDK_DECLARE_CHECKSUM(parent_ref_hash_link)
QSDK_DECLARE_CHECKSUM(mint_capability_deed)
QSDK_DECLARE_CHECKSUM(origin_vouch_binding)
QSDK_DECLARE_CHECKSUM(origin_vouch_signer)
QSDK_DECLARE_CHECKSUM(origin_vouch_max_ttl_secs)
QSDK_DECLARE_CHECKSUM(is_origin_voucher_calldata)
QSDK_DECLARE_CHECKSUM(decode_bool_return)
QSDK_DECLARE_CHECKSUM(generate_pkce)
QSDK_DECLARE_CHECKSUM(pkce_challenge)
QSDK_DECLARE_CHECKSUM(build_authorize_url)
QSDK_DECLARE_CHECKSUM(build_client_assertion)
QSDK_DECLARE_CHECKSUM(sign_client_assertion)
QSDK_DECLARE_CHECKSUM(verify_token_at)
QSDK_DECLARE_CHECKSUM(issuer_key_id)
#undef QSDK_DECLARE_CHECKSUM

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_SDK_UNIFFI_H */
