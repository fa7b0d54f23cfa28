#include "argument_notes.hpp"

#include <algorithm>
#include <array>

namespace qsdk::cli {

namespace {

constexpr bool kSecret = true;
constexpr std::string_view kSecretKey = "the secret key: 64 hex digits (48 to 62 are left-padded with zeros)";
constexpr std::string_view kWalletSignature = "the wallet's signature (130 hex digits for 65 bytes)";
constexpr std::string_view kRecoverable = "the 65-byte signature r, s, v: 130 hex digits";
constexpr std::string_view kHash = "32 bytes: 64 hex digits";
constexpr std::string_view kAddress = "the 20-byte address: 40 hex digits";
constexpr std::string_view kAnyLength = "hex of any length";
constexpr std::string_view kPasskeyKey = "the credential's P-256 public key in hex (lower-cased)";

// clang-format off
constexpr std::array kNotes = {
  ArgNote{"user_sub", "pubkey_hex", "the public key: 66 hex digits (compressed) or 130 (uncompressed)", Prefix::None},
  ArgNote{"mint_user_deed", "secret_key_hex", kSecretKey, Prefix::None, kSecret},
  ArgNote{"derive_root_seed", "signature1_hex", kWalletSignature, Prefix::None},
  ArgNote{"derive_root_seed", "signature2_hex", kWalletSignature, Prefix::None},
  ArgNote{"derive_app_key", "root_seed_hex", "the root seed: 64 hex digits", Prefix::None, kSecret},
  ArgNote{"passkey_sub", "credential_pubkey_hex", kPasskeyKey, Prefix::NotDecoded},
  ArgNote{"mint_user_passkey_deed", "credential_pubkey_hex", kPasskeyKey, Prefix::NotDecoded},
  ArgNote{"mint_user_passkey_deed", "authenticator_data_hex", "the authenticator data in hex", Prefix::NotDecoded},
  ArgNote{"mint_user_passkey_deed", "assertion_sig_hex", "the DER-encoded signature in hex", Prefix::NotDecoded},
  ArgNote{"mint_user_1271_deed", "signer_addr_hex", kAddress, Prefix::One},
  ArgNote{"mint_user_1271_deed", "wallet_sig_hex", kAnyLength, Prefix::One},
  ArgNote{"mint_admin_deed", "wallet_sig_hex", kRecoverable, Prefix::Every},
  ArgNote{"mint_admin_deed_smartwallet", "signer_addr_hex", kAddress, Prefix::One},
  ArgNote{"mint_admin_deed_smartwallet", "wallet_sig_hex", kAnyLength, Prefix::One},
  ArgNote{"delegation_binding", "epoch_label_hex", kHash, Prefix::None},
  ArgNote{"delegation_binding", "parent_ref_hash_hex", kHash, Prefix::None},
  ArgNote{"delegate", "epoch_label_hex", kHash, Prefix::None},
  ArgNote{"delegate", "parent_ref_hash_hex", kHash, Prefix::None},
  ArgNote{"delegate", "pubkey_hex", "the signer's public key in hex", Prefix::NotDecoded},
  ArgNote{"delegate", "signature_hex", kAnyLength, Prefix::Every},
  ArgNote{"origin_vouch_signer", "signature_hex", kRecoverable, Prefix::None},
  ArgNote{"is_origin_voucher_calldata", "signer_hex", kAddress, Prefix::Every},
  ArgNote{"decode_bool_return", "ret", kHash, Prefix::One},
  ArgNote{"sign_client_assertion", "secret_key_hex", kSecretKey, Prefix::Every, kSecret},
};
// clang-format on

std::string_view prefix_rule(Prefix prefix) {
  switch (prefix) {
    case Prefix::None: return "no 0x prefix";
    case Prefix::One: return "one optional 0x or 0X prefix";
    case Prefix::Every: return "any number of leading 0x (lower-case x) removed";
    case Prefix::NotDecoded: return "carried as given, not decoded";
  }
  return "";
}

}  // namespace

std::span<const ArgNote> arg_notes() { return kNotes; }

const ArgNote* find_note(std::string_view op, std::string_view arg) {
  const auto* it = std::find_if(kNotes.begin(), kNotes.end(), [&](const ArgNote& n) { return n.op == op && n.arg == arg; });
  return it == kNotes.end() ? nullptr : it;
}

std::string describe(const ArgNote& note) {
  std::string out = std::string(note.length) + "; " + std::string(prefix_rule(note.prefix));
  if (note.secret) out += "; - reads it from standard input, @FILE from a file, keeping it off the command line";
  return out;
}

}  // namespace qsdk::cli
