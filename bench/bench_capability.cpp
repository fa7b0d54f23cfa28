// Capability exports beside the least each must do: parent references,
// which hash a canonical text, beside SHA-256 over the same bytes (a typical
// link and one carrying a 1 MiB grant list); mint_capability_deed, which
// hashes nothing, and the texts that wrap no primitive, beside the copies of
// their arguments (a 10-link chain and a 1 MiB grant list), and the 1 MiB
// mint also beside SHA-256 of its grant list. The export's time
// minus the floor is the JSON layer's share (parsing, canonical writing).
#include <stdexcept>
#include <string>
#include <vector>

#include "anchors.hpp"
#include "table.hpp"

namespace {

using namespace bench;

const std::string kLabel = "5d1a8c3f0b9e47d2a6c4e8f1b3d5a7c9e2f4a6b8c0d2e4f6a8b0c2d4e6f8a0b2";
const std::string kSub = "a7c0ecbfe754ab86a508388fa8457ff2368c1e447fa3c9ff3ef8693652ac97e2";
const std::string kLinkSignature(130, 'a');
constexpr std::uint64_t kTenant = 42, kExp = 1800000000, kEpoch = 3;

std::string grant(std::size_t i) {
  return "{\"res\":\"calendar:team/" + std::to_string(i) +
         "\",\"act\":[\"read\",\"write\"],\"cav\":{\"exp\":1800000000,\"max_uses\":" + std::to_string(i % 97) +
         ",\"nb\":{\"scope\":\"work\",\"rate\":1.5,\"tags\":[\"a\",\"b\"]}}}";
}

std::string grant_list(std::size_t min_bytes) {
  std::string s = "[";
  for (std::size_t i = 0; s.size() < min_bytes; ++i) {
    if (i != 0) s += ',';
    s += grant(i);
  }
  return s + "]";
}

std::string take_checked(RustBuffer out, host::Status& st) {
  if (st.code() != 0) throw std::runtime_error("benchmark setup: an export failed");
  return host::take_text(out);
}

std::string agent(std::size_t k) { return "secp256k1:agent-" + std::to_string(k); }

host::Bytes no_pubkey() {
  host::Bytes b;
  host::put_opt_string(b, std::nullopt);
  return b;
}

// A link as delegate returns it, chained to `parent`.
std::string make_link(std::size_t k, const std::string& grants, const std::string& parent) {
  host::Status st;
  const RustBuffer out = QSDK_FN(delegate)(kTenant, host::text(agent(k)), host::text(agent(k + 1)), host::text(grants),
                                           kExp, host::text(kLabel), kEpoch, host::text(parent),
                                           host::buffer(no_pubkey()), host::text(kLinkSignature), &st);
  return take_checked(out, st);
}

std::string link_hash(const std::string& link) {
  host::Status st;
  return take_checked(QSDK_FN(parent_ref_hash_link)(host::text(link), &st), st);
}

host::Bytes user_deed() {
  host::Bytes deed;
  host::put_u8(deed, 1);
  host::put_string(deed, "user-sig");
  host::put_u64(deed, kTenant);
  host::put_string(deed, kSub);
  host::put_string(deed, "calendar.example");
  host::put_string(deed, "rp-challenge-7f3a");
  host::put_u64(deed, 1900000000);
  // pubkey and signature set, as on a user-sig deed
  for (int i = 0; i < 11; ++i)
    host::put_opt_string(deed, i == 2 || i == 3 ? std::optional<std::string>(std::string(66, 'b')) : std::nullopt);
  return deed;
}

// The deed argument's bytes, copied like a text by the floor.
std::string deed_text() {
  const host::Bytes deed = user_deed();
  return std::string(deed.begin(), deed.end());
}

// `first` and n - 1 more links, each chained to the one before.
std::string chain_of(std::size_t n, const std::string& grants, const std::string& first) {
  std::string chain = "[" + first, link = first;
  for (std::size_t k = 1; k < n; ++k) {
    link = make_link(k, grants, link_hash(link));
    chain += "," + link;
  }
  return chain + "]";
}

struct Inputs {
  std::string small_grants = "[" + grant(0) + "," + grant(1) + "," + grant(2) + "]";
  std::string big_grants = grant_list(1 << 20);
  std::string first_link = make_link(0, small_grants, std::string(64, '0'));
  std::string big_link = make_link(0, big_grants, std::string(64, '0'));
  std::string chain = chain_of(10, small_grants, first_link);
};

const Inputs in;

const bool registered = add({
    {"delegation_binding",
     call(QSDK_FN(delegation_binding), kTenant, agent(0), agent(1), in.small_grants, kExp, kLabel, kEpoch,
          std::string(64, '0')),
     buffer_floor({agent(0), agent(1), in.small_grants, kLabel, std::string(64, '0')})},
    {"delegate",
     call(QSDK_FN(delegate), kTenant, agent(0), agent(1), in.small_grants, kExp, kLabel, kEpoch, std::string(64, '0'),
          no_pubkey(), kLinkSignature),
     buffer_floor({agent(0), agent(1), in.small_grants, kLabel, std::string(64, '0'), kLinkSignature})},
    {"parent_ref_hash_root", call(QSDK_FN(parent_ref_hash_root), kSub), sha256_floor(kSub.size())},
    {"parent_ref_hash_link", call(QSDK_FN(parent_ref_hash_link), in.first_link), sha256_floor(in.first_link.size())},
    {"parent_ref_hash_link [1 MiB grants]", call(QSDK_FN(parent_ref_hash_link), in.big_link),
     sha256_floor(in.big_link.size())},
    {"mint_capability_deed [10-link chain]",
     call(QSDK_FN(mint_capability_deed), user_deed(), in.small_grants, in.chain),
     buffer_floor({deed_text(), in.small_grants, in.chain})},
    {"mint_capability_deed [1 MiB grants]", call(QSDK_FN(mint_capability_deed), user_deed(), in.big_grants, "[]"),
     buffer_floor({deed_text(), in.big_grants, "[]"})},
    // The same call beside SHA-256 of its grant list: the yardstick for
    // reading and writing JSON that the parent reference rows also use.
    {"mint_capability_deed [1 MiB grants, beside SHA-256]",
     call(QSDK_FN(mint_capability_deed), user_deed(), in.big_grants, "[]"), sha256_floor(in.big_grants.size())},
    // The same calls beside what a C++ program would do without the library.
    {"parent_ref_hash_link [1 MiB grants, RapidJSON anchor]", call(QSDK_FN(parent_ref_hash_link), in.big_link),
     rapidjson_anchor(in.big_link)},
    {"parent_ref_hash_link [1 MiB grants, simdjson anchor]", call(QSDK_FN(parent_ref_hash_link), in.big_link),
     simdjson_anchor(in.big_link)},
    {"mint_capability_deed [1 MiB grants, RapidJSON anchor]",
     call(QSDK_FN(mint_capability_deed), user_deed(), in.big_grants, "[]"), rapidjson_anchor(in.big_grants)},
    {"mint_capability_deed [1 MiB grants, simdjson anchor]",
     call(QSDK_FN(mint_capability_deed), user_deed(), in.big_grants, "[]"), simdjson_anchor(in.big_grants)},
});

}  // namespace
