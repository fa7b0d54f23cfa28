// Grants, caveats and delegation links: plain values whose only external form
// is one canonical JSON text (capability_json.hpp), the binding a delegator
// signs for a link, and the parent references that chain links together.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/codec.hpp"
#include "crypto/hash.hpp"

namespace qsdk::core {

struct Caveats {
  std::optional<std::uint64_t> exp;
  std::optional<std::uint64_t> max_uses;
  // The canonical JSON text of a non-empty object; empty when the object is
  // absent or empty (the two are the same). Held as text, not as a tree: it
  // is only ever written back.
  std::string nb;

  bool operator==(const Caveats&) const = default;
};

struct Grant {
  std::string res;
  std::vector<std::string> act;
  Caveats cav;

  bool operator==(const Grant&) const = default;
};

struct Delegation {
  std::string iss;
  std::string to;
  std::vector<Grant> grants;
  std::uint64_t exp = 0;
  std::array<std::uint8_t, 32> epoch_label{};
  std::uint64_t epoch = 0;
  std::string sig;  // lower-case hex
  std::optional<std::string> pubkey;
  // Carried for verifiers that use them; never set here.
  std::optional<std::string> kind;
  std::optional<std::string> proof;
  std::optional<std::string> root;
  std::optional<std::string> salt;

  bool operator==(const Delegation&) const = default;
};

// The bytes a delegator signs for `link`, unhashed: each signer hashes them
// as its own scheme requires. They cover the link's iss, to, grants, exp,
// epoch label and epoch, and also the tenant and the parent reference, which
// the link does not store (a verifier supplies them from the deed and from
// the chain). The grants enter as their canonical JSON, so any spelling of the
// same grants yields the same bytes; sig and pubkey are not covered.
Bytes delegation_binding(std::uint64_t tenant_id, const Delegation& link, const Digest32& parent_ref_hash);

// The signed link: `link` with the signature (as lower-case hex) and the
// public key set. The signature is neither checked against the binding nor
// interpreted; `pubkey` is carried exactly as given.
Delegation delegate(Delegation link, ByteView signature, std::optional<std::string> pubkey);

// The root principal's identity: the root deed's subject.
struct RootId {
  std::string id;
};
// What a link is chained to: the root identity for the first link, the
// complete preceding link (signature included) for every later one.
using ParentRef = std::variant<RootId, Delegation>;

// SHA-256 of the identity text's bytes, or of the link's canonical JSON.
Digest32 parent_ref_hash(const ParentRef& parent);
// The same for a link already in its canonical text.
Digest32 link_parent_ref_hash(std::string_view canonical_link);

}  // namespace qsdk::core
