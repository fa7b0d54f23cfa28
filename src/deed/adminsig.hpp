// The admin-sig mode: a tenant administrator's wallet signs a prose
// warning; the deed names the wallet that signed it. Whether that wallet
// administers the tenant is the relying party's decision.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "base/error.hpp"
#include "deed/deed.hpp"

namespace qsdk::core {

// The prose the administrator's wallet signs with EIP-191. It carries no
// origin; it names the audience and warns against signing anywhere else.
std::string admin_binding(std::uint64_t tenant, std::string_view aud, std::string_view challenge, std::uint64_t exp);

// A wallet key's EIP-191 signature over the admin binding: the recovered
// signer becomes the subject.
Result<Deed> mint_admin_deed(ByteView signature, std::uint64_t tenant, std::string_view aud,
                             std::string_view challenge, std::uint64_t exp);

// A smart-contract wallet: the named contract is the subject and its
// signature is carried uninterpreted. The address is parsed first.
Result<Deed> mint_admin_deed_smartwallet(std::string_view signer_addr_hex, std::string_view wallet_sig_hex,
                                         std::uint64_t tenant, std::string_view aud, std::string_view challenge,
                                         std::uint64_t exp);

}  // namespace qsdk::core
