#include "deed/adminsig.hpp"

#include "base/text.hpp"
#include "crypto/secp256k1.hpp"

namespace qsdk::core {

std::string admin_binding(std::uint64_t tenant, std::string_view aud, std::string_view challenge, std::uint64_t exp) {
  return cat(aud, " is requesting administrative access to your Quorvel tenant.\n",
             "\n",
             "Signing this message grants FULL ADMINISTRATIVE ACCESS to the tenant\n",
             "below. Only sign it if you are on ", aud, " right now \u2014 signing it on any\n",
             "other site lets that site's operator administer your tenant.\n",
             "\n",
             "Tenant: ", tenant, "\n",
             "Challenge: ", challenge, "\n",
             "Expires (unix seconds): ", exp, "\n",
             "\n",
             "quorvel-sovereign-admin-v1");
}

Result<Deed> mint_admin_deed(ByteView signature, std::uint64_t tenant, std::string_view aud,
                             std::string_view challenge, std::uint64_t exp) {
  const std::string binding = admin_binding(tenant, aud, challenge, exp);
  auto signer = eip191_recover(as_bytes(binding), signature);
  if (!signer) return std::unexpected(signer.error());
  Deed deed = new_deed(kModeAdminSig, address_text(*signer), tenant, aud, challenge, exp);
  deed.signature = hex_encode(signature);
  return deed;
}

Result<Deed> mint_admin_deed_smartwallet(std::string_view signer_addr_hex, std::string_view wallet_sig_hex,
                                         std::uint64_t tenant, std::string_view aud, std::string_view challenge,
                                         std::uint64_t exp) {
  auto wallet = parse_wallet_address(signer_addr_hex);
  if (!wallet) return std::unexpected(wallet.error());
  auto signature = parse_wallet_signature(wallet_sig_hex);
  if (!signature) return std::unexpected(signature.error());
  Deed deed = new_deed(kModeAdminSig, address_text(*wallet), tenant, aud, challenge, exp);
  deed.signature = hex_encode(*signature);
  deed.signer = hex_encode(*wallet);
  return deed;
}

}  // namespace qsdk::core
