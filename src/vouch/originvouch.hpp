// Origin vouches: the prose a tenant administrator signs to let an origin
// speak for the tenant, recovery of its signer, and the registry query that
// tells whether that signer may vouch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/codec.hpp"
#include "base/error.hpp"

namespace qsdk::core {

// 90 days: the longest remaining lifetime a holder accepts on a vouch.
inline constexpr std::uint64_t kOriginVouchMaxTtlSecs = 7776000;
constexpr std::uint64_t origin_vouch_max_ttl_secs() { return kOriginVouchMaxTtlSecs; }

// The prose, with the origin in the caller's own spelling; the origin is
// canonicalised only to apply the fail-closed policy.
Result<std::string> origin_vouch_binding(std::uint64_t tenant_id, std::string_view aud, std::string_view origin,
                                         std::uint64_t epoch, std::uint64_t exp, bool allow_insecure_origin);

// "0x" and 40 lower-case hex digits of the address that signed the prose
// rebuilt from the holder's own observed origin.
Result<std::string> origin_vouch_signer(std::uint64_t tenant_id, std::string_view aud, std::string_view origin,
                                        std::uint64_t epoch, std::uint64_t exp, std::string_view signature_hex);

// Call data of isOriginVoucher(uint256,address,uint64): 100 bytes.
Result<Bytes> is_origin_voucher_calldata(std::uint64_t tenant_id, std::string_view signer_hex, std::uint64_t epoch);

// The registry's answer: exactly one 32-byte word, never a silent false.
Result<bool> decode_bool_return(ByteView ret);

// The four selector bytes of the registry function.
std::array<std::uint8_t, 4> is_origin_voucher_selector();

}  // namespace qsdk::core
