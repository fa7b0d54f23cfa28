#include "vouch/originvouch.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "crypto/hash.hpp"
#include "crypto/secp256k1.hpp"
#include "origin/origin.hpp"

namespace qsdk::core {
namespace {

constexpr std::string_view kSignature = "isOriginVoucher(uint256,address,uint64)";
constexpr std::size_t kWord = 32;

// The prose is meant to be read by a human in a wallet before signing: it
// says what signing grants, and ends with the format's domain tag.
std::string vouch_message(std::uint64_t tenant_id, std::string_view aud, std::string_view origin,
                          std::uint64_t epoch, std::uint64_t exp) {
  return cat(origin, " is claiming to act for Quorvel tenant ", tenant_id, ".\n",
             "\n",
             "Signing this authorises ", origin, " to ask people and agents for deeds\n",
             "belonging to the tenant below. Only sign it if you administer that\n",
             "tenant AND you control ", origin, " \u2014 anyone holding this signature can\n",
             "make holders believe ", origin, " speaks for you.\n",
             "\n",
             "Tenant: ", tenant_id, "\n",
             "Audience: ", aud, "\n",
             "Origin: ", origin, "\n",
             "Epoch: ", epoch, "\n",
             "Expires (unix seconds): ", exp, "\n",
             "\n",
             "quorvel-origin-v1");
}

void put_u64_word(Bytes& out, std::uint64_t v) {
  out.insert(out.end(), kWord - 8, 0);
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::array<std::uint8_t, 4> is_origin_voucher_selector() {
  const Digest32 h = keccak256(as_bytes(kSignature));
  return {h[0], h[1], h[2], h[3]};
}

Result<std::string> origin_vouch_binding(std::uint64_t tenant_id, std::string_view aud, std::string_view origin,
                                         std::uint64_t epoch, std::uint64_t exp, bool allow_insecure_origin) {
  if (auto ok = enforce_origin_policy(origin, allow_insecure_origin); !ok) return std::unexpected(ok.error());
  return vouch_message(tenant_id, aud, origin, epoch, exp);
}

Result<std::string> origin_vouch_signer(std::uint64_t tenant_id, std::string_view aud, std::string_view origin,
                                        std::uint64_t epoch, std::uint64_t exp, std::string_view signature_hex) {
  auto signature = hex_decode(signature_hex);
  if (!signature) return std::unexpected(CoreError::crypto(signature.error()));
  // Only the origin's form is enforced: a holder checking a vouch for a local
  // development origin must still learn who signed it.
  if (auto ok = enforce_origin_policy(origin, true); !ok) return std::unexpected(ok.error());
  const std::string message = vouch_message(tenant_id, aud, origin, epoch, exp);
  auto address = eip191_recover(as_bytes(message), *signature);
  if (!address) return std::unexpected(address.error());
  return address_text(*address);
}

Result<Bytes> is_origin_voucher_calldata(std::uint64_t tenant_id, std::string_view signer_hex, std::uint64_t epoch) {
  auto signer = hex_decode(strip_every_0x(signer_hex));
  if (!signer) return std::unexpected(CoreError::crypto(signer.error()));
  if (signer->size() != 20) return std::unexpected(CoreError::input("signer must be a 20-byte address"));

  Bytes out;
  out.reserve(4 + 3 * kWord);
  const auto selector = is_origin_voucher_selector();
  out.insert(out.end(), selector.begin(), selector.end());
  put_u64_word(out, tenant_id);
  out.insert(out.end(), kWord - signer->size(), 0);
  out.insert(out.end(), signer->begin(), signer->end());
  put_u64_word(out, epoch);
  return out;
}

Result<bool> decode_bool_return(ByteView ret) {
  if (ret.size() != kWord)
    return std::unexpected(CoreError::input(cat("isOriginVoucher returned ", ret.size(), " bytes, expected 32")));
  // Only the last byte carries the boolean; the high bytes are not examined.
  return ret[kWord - 1] != 0;
}

}  // namespace qsdk::core
