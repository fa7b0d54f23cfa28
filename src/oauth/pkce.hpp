// PKCE (RFC 7636, method S256) for the authorisation-code flow.
#pragma once

#include <string>
#include <string_view>

namespace qsdk::core {

struct Pkce {
  std::string verifier;   // 43 base64url characters from 32 random bytes
  std::string challenge;  // S256 of the verifier's characters
};

// A fresh pair from the operating system's random source; a failing source
// is an internal failure ("rng: ...").
Pkce generate_pkce();

// base64url (unpadded) of SHA-256 over the verifier's bytes, taken as given.
std::string pkce_challenge(std::string_view verifier);

}  // namespace qsdk::core
