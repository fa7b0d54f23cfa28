// The deed: the identity token every signing mode produces.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "base/error.hpp"
#include "crypto/secp256k1.hpp"

namespace qsdk::core {

inline constexpr std::uint8_t kDeedVersion = 1;

// What every deed carries, whatever form its capability lists take: the
// core holds them as their canonical texts (Deed), the boundary as the JSON
// texts a host gave (the ffi's DeedRecord). Both extend these terms, so a
// conversion copies them whole and names only the two lists.
struct DeedTerms {
  std::uint8_t v = kDeedVersion;
  std::string mode;
  std::uint64_t tenant = 0;
  std::string sub;
  std::string aud;
  std::string challenge;
  std::uint64_t exp = 0;
  std::optional<std::string> root;
  std::optional<std::string> proof;
  std::optional<std::string> pubkey;
  std::optional<std::string> signature;
  std::optional<std::string> credential_pubkey;
  std::optional<std::string> authenticator_data;
  std::optional<std::string> client_data_json;
  std::optional<std::string> assertion_sig;
  std::optional<std::string> signer;

  bool operator==(const DeedTerms&) const = default;
};

// A deed only carries its grant list and delegation chain, so it holds
// them as their canonical texts (capability/capability_json.hpp makes them).
struct Deed : DeedTerms {
  std::optional<std::string> grants;
  std::optional<std::string> delegations;

  bool operator==(const Deed&) const = default;
};

// The signing modes this library mints.
inline constexpr std::string_view kModeUserSig = "user-sig";
inline constexpr std::string_view kModeUserPasskey = "user-passkey";
inline constexpr std::string_view kModeUser1271 = "user-1271";
inline constexpr std::string_view kModeAdminSig = "admin-sig";

// A version-1 deed of `mode` carrying the terms every mint copies from its
// arguments; the caller sets the proof fields of its mode.
Deed new_deed(std::string_view mode, std::string sub, std::uint64_t tenant, std::string_view aud,
              std::string_view challenge, std::uint64_t exp);

// Subjects are SHA-256 digests of a versioned tag and the values they bind,
// written as 64 lower-case hex digits.
std::string subject_digest(std::initializer_list<ByteView> parts);

// Wallet texts of the smart-wallet and admin mints: one optional "0x" or
// "0X" is removed; decoder failures are "input: " errors.
// An address must decode to exactly 20 bytes.
Result<Address> parse_wallet_address(std::string_view text);
// Signature bytes of any length, including none; they are not interpreted.
Result<Bytes> parse_wallet_signature(std::string_view text);

// Attaches a grant list and a delegation chain, each as its canonical text,
// to a deed of any mode, replacing whatever it carried. Nothing is signed or
// checked: the identity proof stays valid and each link carries its own
// signature.
Deed mint_capability_deed(Deed token, std::string canonical_grants, std::string canonical_chain);

}  // namespace qsdk::core
