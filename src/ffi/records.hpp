// The records that cross the boundary, and their nested wire forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/secret.hpp"
#include "deed/deed.hpp"
#include "ffi/buffer.hpp"
#include "oauth/pkce.hpp"
#include "oauth/token.hpp"

namespace qsdk::ffi {

// The boundary form of a deed: grants and delegations travel as JSON text.
struct DeedRecord {
  std::uint8_t v = 0;
  std::string mode;
  std::uint64_t tenant = 0;
  std::string sub;
  std::string aud;
  std::string challenge;
  std::uint64_t exp = 0;
  std::optional<std::string> root, proof, pubkey, signature, credential_pubkey, authenticator_data, client_data_json,
      assertion_sig, signer, grants, delegations;

  bool operator==(const DeedRecord&) const = default;
};

struct AppKeyRecord {
  core::SecretString secret_key_hex;
  std::string pubkey_hex;
};

// The one conversion of the core token to its boundary form; writes the
// capability lists as canonical JSON.
DeedRecord to_record(const core::Deed& deed);

void write(Writer& w, const DeedRecord& r);
void write(Writer& w, const AppKeyRecord& r);
// Pkce and Claims cross the boundary exactly as the core holds them.
void write(Writer& w, const core::Pkce& r);
void write(Writer& w, const core::Claims& r);

DeedRecord read_deed(Reader& r);

}  // namespace qsdk::ffi
