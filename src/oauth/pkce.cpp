#include "oauth/pkce.hpp"

#include <array>

#include "base/codec.hpp"
#include "base/secret.hpp"
#include "crypto/hash.hpp"
#include "crypto/random.hpp"

namespace qsdk::core {

Pkce generate_pkce() {
  std::array<std::uint8_t, 32> seed{};
  WipeOnExit wipe(seed);
  os_random::fill(seed);
  Pkce p;
  p.verifier = base64url_encode(seed);
  // The challenge covers the encoded text, never the raw bytes.
  p.challenge = pkce_challenge(p.verifier);
  return p;
}

std::string pkce_challenge(std::string_view verifier) { return base64url_encode(sha256(as_bytes(verifier))); }

}  // namespace qsdk::core
