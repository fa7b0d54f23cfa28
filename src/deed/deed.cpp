#include "deed/deed.hpp"

#include <algorithm>
#include <utility>

#include "crypto/hash.hpp"

namespace qsdk::core {

Deed new_deed(std::string_view mode, std::string sub, std::uint64_t tenant, std::string_view aud,
              std::string_view challenge, std::uint64_t exp) {
  Deed d;
  d.v = kDeedVersion;
  d.mode = mode;
  d.tenant = tenant;
  d.sub = std::move(sub);
  d.aud = aud;
  d.challenge = challenge;
  d.exp = exp;
  return d;
}

std::string subject_digest(std::initializer_list<ByteView> parts) { return hex_encode(sha256(parts)); }

Result<Address> parse_wallet_address(std::string_view text) {
  auto bytes = decode_hex_as(ErrorKind::Input, strip_one_0x(text));
  if (!bytes) return std::unexpected(bytes.error());
  Address out;
  if (bytes->size() != out.size()) return std::unexpected(CoreError::input("address must be 20 bytes"));
  std::copy(bytes->begin(), bytes->end(), out.begin());
  return out;
}

Result<Bytes> parse_wallet_signature(std::string_view text) {
  return decode_hex_as(ErrorKind::Input, strip_one_0x(text));
}

Deed mint_capability_deed(Deed token, std::string canonical_grants, std::string canonical_chain) {
  token.grants = std::move(canonical_grants);
  token.delegations = std::move(canonical_chain);
  return token;
}

}  // namespace qsdk::core
