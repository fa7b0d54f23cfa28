#include "oauth/client_assertion.hpp"

#include "base/codec.hpp"
#include "base/text.hpp"
#include "crypto/secp256k1.hpp"

namespace qsdk::core {

std::string build_client_assertion(std::string_view domain, std::uint64_t tenant_id, std::string_view nonce,
                                   std::uint64_t issued_at) {
  // Values go in verbatim: the text is what is signed, so any rewriting here
  // would make the server's rebuilt text differ.
  return cat("Quorvel client-credentials\n", "domain: ", domain, "\n", "tenant: ", tenant_id, "\n", "nonce: ", nonce,
             "\n", "issued-at: ", issued_at);
}

Result<std::string> sign_client_assertion(std::string_view secret_key_hex, std::string_view domain,
                                          std::uint64_t tenant_id, std::string_view nonce, std::uint64_t issued_at) {
  const std::string text = build_client_assertion(domain, tenant_id, nonce, issued_at);
  return eip191_sign(secret_key_hex, as_bytes(text));
}

}  // namespace qsdk::core
