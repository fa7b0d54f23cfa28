// The user-1271 mode: a user whose account is an EIP-1271 smart-contract
// wallet. Its signature can only be checked on chain, so the library
// assembles the deed and the relying party asks the contract.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "crypto/secp256k1.hpp"
#include "deed/deed.hpp"

namespace qsdk::core {

// SHA-256 of "quorvel-sovereign-user-1271-sub-v1|tenant:..|origin:..|wallet:.."
// with the canonical origin and the address as 40 lower-case hex digits.
std::string user_1271_sub(std::uint64_t tenant, std::string_view canonical_origin, const Address& wallet);

// Checks, in order: the origin, the address, then the signature text.
Result<Deed> mint_user_1271_deed(std::string_view signer_addr_hex, std::string_view wallet_sig_hex,
                                 std::uint64_t tenant, std::string_view aud, std::string_view origin,
                                 std::string_view challenge, std::uint64_t exp);

}  // namespace qsdk::core
