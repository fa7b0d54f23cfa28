// Capability exports: delegation bindings and links, parent references and
// capability deeds. Each export parses and decodes its texts in the order the
// host's errors are promised, then calls the core.
#include <algorithm>

#include "base/codec.hpp"
#include "capability/capability.hpp"
#include "capability/capability_json.hpp"
#include "ffi/frame.hpp"

using namespace qsdk;

namespace {

using Bytes32 = std::array<std::uint8_t, 32>;

// A 32-byte argument is plain hex, no prefix removed; a wrong length is the
// exported layer's own refusal, without a class prefix.
ffi::Outcome<Bytes32> decode_32_bytes(std::string_view hex) {
  const auto bytes = core::hex_decode(hex);
  if (!bytes) return std::unexpected(ffi::to_sdk_error(core::CoreError::crypto(bytes.error())));
  if (bytes->size() != 32) return std::unexpected(ffi::SdkError::sdk("expected 32 bytes of hex"));
  Bytes32 out{};
  std::copy(bytes->begin(), bytes->end(), out.begin());
  return out;
}

// What the eight arguments both binding exports share decode to: the
// unsigned link, and the parent reference its signature binds.
struct LinkTerms {
  core::Delegation link;
  core::Digest32 parent_ref_hash;
};

// Grants first, then the epoch label, then the parent reference.
ffi::Outcome<LinkTerms> link_terms(std::string_view iss, std::string_view to, std::string_view grants_json,
                                   std::uint64_t exp, std::string_view epoch_label_hex, std::uint64_t epoch,
                                   std::string_view parent_ref_hash_hex) {
  auto grants = core::parse_grant_list(grants_json);
  if (!grants) return std::unexpected(ffi::to_sdk_error(grants.error()));
  const auto label = decode_32_bytes(epoch_label_hex);
  if (!label) return std::unexpected(label.error());
  const auto parent = decode_32_bytes(parent_ref_hash_hex);
  if (!parent) return std::unexpected(parent.error());
  LinkTerms t{};
  t.link.iss = iss;
  t.link.to = to;
  t.link.grants = std::move(*grants);
  t.link.exp = exp;
  t.link.epoch_label = *label;
  t.link.epoch = epoch;
  t.parent_ref_hash = *parent;
  return t;
}

}  // namespace

QSDK_OPERATION(delegation_binding);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_delegation_binding(
    uint64_t tenant_id, RustBuffer iss, RustBuffer to, RustBuffer grants_json, uint64_t exp,
    RustBuffer epoch_label_hex, uint64_t epoch, RustBuffer parent_ref_hash_hex, RustCallStatus* status) {
  return ffi::run<QSDK_OP(delegation_binding)>(
      status,
      [](std::uint64_t tenant_id, std::string_view iss, std::string_view to, std::string_view grants_json,
         std::uint64_t exp, std::string_view epoch_label_hex, std::uint64_t epoch,
         std::string_view parent_ref_hash_hex) -> ffi::Outcome<std::string> {
        const auto terms = link_terms(iss, to, grants_json, exp, epoch_label_hex, epoch, parent_ref_hash_hex);
        if (!terms) return std::unexpected(terms.error());
        return core::hex_encode(core::delegation_binding(tenant_id, terms->link, terms->parent_ref_hash));
      },
      tenant_id, iss, to, grants_json, exp, epoch_label_hex, epoch, parent_ref_hash_hex);
}

QSDK_OPERATION(delegate);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_delegate(uint64_t tenant_id, RustBuffer iss, RustBuffer to,
                                                                  RustBuffer grants_json, uint64_t exp,
                                                                  RustBuffer epoch_label_hex, uint64_t epoch,
                                                                  RustBuffer parent_ref_hash_hex, RustBuffer pubkey_hex,
                                                                  RustBuffer signature_hex, RustCallStatus* status) {
  return ffi::run<QSDK_OP(delegate)>(
      status,
      // The tenant and the parent reference bind only the signature, which
      // the host computed; the link stores neither. The parent reference is
      // still decoded, so a malformed one is refused as in the binding.
      [](std::uint64_t /*tenant_id*/, std::string_view iss, std::string_view to, std::string_view grants_json,
         std::uint64_t exp, std::string_view epoch_label_hex, std::uint64_t epoch,
         std::string_view parent_ref_hash_hex, const std::optional<std::string>& pubkey_hex,
         std::string_view signature_hex) -> ffi::Outcome<std::string> {
        auto terms = link_terms(iss, to, grants_json, exp, epoch_label_hex, epoch, parent_ref_hash_hex);
        if (!terms) return std::unexpected(terms.error());
        // Wallets hand signatures out with one or more "0x" in front.
        const auto signature = core::hex_decode(core::strip_every_0x(signature_hex));
        if (!signature) return std::unexpected(ffi::to_sdk_error(core::CoreError::crypto(signature.error())));
        return core::write_delegation(core::delegate(std::move(terms->link), *signature, pubkey_hex));
      },
      tenant_id, iss, to, grants_json, exp, epoch_label_hex, epoch, parent_ref_hash_hex, pubkey_hex, signature_hex);
}

QSDK_OPERATION(parent_ref_hash_root);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_root(RustBuffer root_id,
                                                                              RustCallStatus* status) {
  return ffi::run<QSDK_OP(parent_ref_hash_root)>(
      status,
      [](std::string_view root_id) {
        return core::hex_encode(core::parent_ref_hash(core::RootId{std::string(root_id)}));
      },
      root_id);
}

QSDK_OPERATION(parent_ref_hash_link);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_link(RustBuffer parent_link_json,
                                                                              RustCallStatus* status) {
  return ffi::run<QSDK_OP(parent_ref_hash_link)>(
      status,
      [](std::string_view parent_link_json) -> core::Result<std::string> {
        auto link = core::canonical_delegation(parent_link_json);
        if (!link) return std::unexpected(link.error());
        return core::hex_encode(core::link_parent_ref_hash(*link));
      },
      parent_link_json);
}

QSDK_OPERATION(mint_capability_deed);
QSDK_EXPORT RustBuffer uniffi_quorvel_sdk_uniffi_fn_func_mint_capability_deed(RustBuffer base_deed,
                                                                              RustBuffer grants_json,
                                                                              RustBuffer delegation_chain_json,
                                                                              RustCallStatus* status) {
  return ffi::run<QSDK_OP(mint_capability_deed)>(
      status,
      [](const ffi::DeedRecord& base_deed, std::string_view grants_json,
         std::string_view delegation_chain_json) -> core::Result<core::Deed> {
        auto token = ffi::from_record(base_deed);
        if (!token) return std::unexpected(token.error());
        auto grants = core::canonical_grant_list(grants_json);
        if (!grants) return std::unexpected(grants.error());
        auto chain = core::canonical_delegation_chain(delegation_chain_json);
        if (!chain) return std::unexpected(chain.error());
        return core::mint_capability_deed(std::move(*token), std::move(*grants), std::move(*chain));
      },
      base_deed, grants_json, delegation_chain_json);
}
