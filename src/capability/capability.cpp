#include "capability/capability.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "capability/capability_json.hpp"

namespace qsdk::core {

namespace {

// Versioned so that a future layout can never be mistaken for this one.
constexpr std::string_view kDelegationTag = "quorvel-deleg-v1";

void put_u64(Bytes& out, std::uint64_t v) {
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Grows, then copies: GCC 12 at -O3 takes vector::insert's reallocating path
// for the first write after reserve() and reports a false overflow.
void put_bytes(Bytes& out, ByteView bytes) {
  const std::size_t at = out.size();
  out.resize(at + bytes.size());
  std::copy(bytes.begin(), bytes.end(), out.begin() + at);
}

// Texts are length-prefixed, so no choice of iss and to can shift bytes from
// one field into the next.
void put_text(Bytes& out, std::string_view text) {
  put_u64(out, text.size());
  put_bytes(out, as_bytes(text));
}

}  // namespace

Bytes delegation_binding(std::uint64_t tenant_id, const Delegation& link, const Digest32& parent_ref_hash) {
  const std::string grants = write_grant_list(link.grants);
  Bytes out;
  out.reserve(128 + link.iss.size() + link.to.size() + grants.size());
  put_bytes(out, as_bytes(kDelegationTag));
  put_u64(out, tenant_id);
  put_text(out, link.iss);
  put_text(out, link.to);
  put_text(out, grants);
  put_u64(out, link.exp);
  put_bytes(out, link.epoch_label);
  put_u64(out, link.epoch);
  put_bytes(out, parent_ref_hash);
  return out;
}

Delegation delegate(Delegation link, ByteView signature, std::optional<std::string> pubkey) {
  link.sig = hex_encode(signature);
  link.pubkey = std::move(pubkey);
  return link;
}

Digest32 parent_ref_hash(const ParentRef& parent) {
  struct Input {
    Digest32 operator()(const RootId& root) const { return sha256(as_bytes(root.id)); }
    Digest32 operator()(const Delegation& link) const { return link_parent_ref_hash(write_delegation(link)); }
  };
  return std::visit(Input{}, parent);
}

Digest32 link_parent_ref_hash(std::string_view canonical_link) { return sha256(as_bytes(canonical_link)); }

}  // namespace qsdk::core
