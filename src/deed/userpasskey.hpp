// The user-passkey mode: a deed that carries a WebAuthn assertion made by
// the host. The library derives the subject and assembles the deed; the
// relying party verifies the assertion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "deed/deed.hpp"

namespace qsdk::core {

// The four texts a WebAuthn assertion yields, carried into the deed as given
// (the key lower-cased).
struct PasskeyAssertion {
  std::string_view credential_pubkey_hex;
  std::string_view authenticator_data_hex;
  std::string_view client_data_json_b64url;
  std::string_view assertion_sig_hex;
};

// SHA-256 of "quorvel-sovereign-user-passkey-sub-v1|tenant:..|origin:..|pubkey:.."
// with the key text lower-cased. The origin is used exactly as passed. A key
// text that is not ASCII is refused beyond what ICU's 32-bit counts allow
// ("input: credential key text must be ASCII or at most ... bytes").
Result<std::string> passkey_sub(std::uint64_t tenant, std::string_view origin, std::string_view credential_pubkey_hex);

// Canonicalises the origin and assembles the deed; nothing of the assertion
// is decoded or verified here. Refuses the origin, then a key text as
// passkey_sub does.
Result<Deed> mint_user_passkey_deed(const PasskeyAssertion& assertion, std::uint64_t tenant, std::string_view aud,
                                    std::string_view origin, std::string_view challenge, std::uint64_t exp);

}  // namespace qsdk::core
