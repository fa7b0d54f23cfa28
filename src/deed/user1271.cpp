#include "deed/user1271.hpp"

#include "base/text.hpp"
#include "origin/origin.hpp"

namespace qsdk::core {

std::string user_1271_sub(std::uint64_t tenant, std::string_view canonical_origin, const Address& wallet) {
  const std::string text = cat("quorvel-sovereign-user-1271-sub-v1|tenant:", tenant, "|origin:", canonical_origin,
                               "|wallet:", hex_encode(wallet));
  return subject_digest({as_bytes(text)});
}

Result<Deed> mint_user_1271_deed(std::string_view signer_addr_hex, std::string_view wallet_sig_hex,
                                 std::uint64_t tenant, std::string_view aud, std::string_view origin,
                                 std::string_view challenge, std::uint64_t exp) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  auto wallet = parse_wallet_address(signer_addr_hex);
  if (!wallet) return std::unexpected(wallet.error());
  auto signature = parse_wallet_signature(wallet_sig_hex);
  if (!signature) return std::unexpected(signature.error());
  Deed deed = new_deed(kModeUser1271, user_1271_sub(tenant, *canonical, *wallet), tenant, aud, challenge, exp);
  deed.signature = hex_encode(*signature);
  deed.signer = hex_encode(*wallet);
  return deed;
}

}  // namespace qsdk::core
