// The client-credentials assertion: a fixed five-line text a client's
// secp256k1 key signs as an EIP-191 personal message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace qsdk::core {

std::string build_client_assertion(std::string_view domain, std::uint64_t tenant_id, std::string_view nonce,
                                   std::uint64_t issued_at);

// "0x" and the 130 hex digits of the 65-byte signature over the text above.
Result<std::string> sign_client_assertion(std::string_view secret_key_hex, std::string_view domain,
                                          std::uint64_t tenant_id, std::string_view nonce, std::uint64_t issued_at);

}  // namespace qsdk::core
