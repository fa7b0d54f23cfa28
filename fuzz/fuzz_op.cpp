// One libFuzzer target per exported operation (QSDK_FUZZ_OP is its name in
// the interface table). The harness calls the export exactly as a host
// binding would and checks what a host relies on: the status code, the zero
// value after a failure, well-formed error and result buffers, the same
// outcome for the same arguments, and the properties particular to some
// operations (canonical forms that are fixed points, hashes that do not
// depend on spelling).
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/codec.hpp"
#include "base/utf8.hpp"
#include "capability/capability_json.hpp"
#include "crypto/hash.hpp"
#include "ffi/interface.hpp"
#include "input.hpp"
#include "json/record.hpp"
#include "url/url.hpp"

namespace {

namespace iface = qsdk::ffi::iface;
namespace core = qsdk::core;
using iface::Ty;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kOp = iface::op_index(QSDK_FUZZ_OP);
constexpr const iface::Op& op() { return iface::kOps[kOp]; }
constexpr bool is_op(std::string_view name) { return op().name == name; }

[[noreturn]] void violated(const char* what) {
  std::fprintf(stderr, "invariant violated in %s: %s\n", std::string(op().name).c_str(), what);
  std::abort();
}

template <class Fn>
Fn* export_named(const std::string& name) {
  void* p = dlsym(RTLD_DEFAULT, name.c_str());
  if (p == nullptr) violated("export missing");
  return reinterpret_cast<Fn*>(p);
}

RustBuffer library_buffer(const Bytes& bytes) {
  static auto* from_bytes = export_named<RustBuffer(ForeignBytes, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus st{};
  RustBuffer b = from_bytes(ForeignBytes{static_cast<std::int32_t>(bytes.size()), bytes.data()}, &st);
  if (st.code != 0) violated("rustbuffer_from_bytes failed");
  return b;
}
RustBuffer library_buffer(std::string_view s) { return library_buffer(Bytes(s.begin(), s.end())); }

void free_buffer(RustBuffer b) {
  static auto* f = export_named<void(RustBuffer, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  RustCallStatus st{};
  f(b, &st);
  if (st.code != 0) violated("freeing a library buffer failed");
}

Bytes take(RustBuffer b) {
  Bytes out(b.data, b.data + b.len);
  free_buffer(b);
  return out;
}

std::string_view as_text(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

bool valid_utf8(const std::uint8_t* p, std::size_t n) {
  return !core::utf8_error(std::string_view(reinterpret_cast<const char*>(p), n));
}

// ---------------------------------------------------------------------------
// Arguments: first read from the input into plans, so that the same
// call can be made again with fresh buffers.

void put_i32(Bytes& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}
void put_string(Bytes& out, const Bytes& s) {
  put_i32(out, static_cast<std::uint32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

// The nested encoding of a typed argument, well formed most of the time so
// that the operation behind the lifting is reached.
Bytes encode(Ty t, fuzz::Input& in) {
  Bytes out;
  switch (t) {
    case Ty::Bytes: put_string(out, in.chunk()); break;
    case Ty::OptString:
      if (in.u8() & 1) {
        out.push_back(1);
        put_string(out, in.chunk());
      } else {
        out.push_back(0);
      }
      break;
    case Ty::Deed:
      out.push_back(in.u8());
      put_string(out, in.chunk());
      for (int i = 0; i < 8; ++i) out.push_back(in.u8());
      for (int i = 0; i < 3; ++i) put_string(out, in.chunk());
      for (int i = 0; i < 8; ++i) out.push_back(in.u8());
      for (int i = 0; i < 11; ++i) {
        const bool present = in.u8() & 1;
        out.push_back(present ? 1 : 0);
        if (present) put_string(out, in.chunk());
      }
      break;
    default: return in.chunk();
  }
  return out;
}

// Buffers that break the invariants: they must be neither read nor freed.
enum class Shape : std::uint8_t { Library, NullWithCapacity, NullWithLength, LengthOverCapacity, Null };

struct ArgPlan {
  std::uint64_t scalar = 0;
  Shape shape = Shape::Library;
  Bytes bytes;
};

// Mode byte: mostly a proper argument, sometimes raw bytes, sometimes a
// buffer that breaks the invariants.
[[maybe_unused]] ArgPlan read_plan(Ty t, fuzz::Input& in) {
  ArgPlan s;
  if (t == Ty::U64) {
    s.scalar = in.u64();
    return s;
  }
  if (t == Ty::Bool) {
    const std::uint8_t b = in.u8();
    s.scalar = static_cast<std::uint8_t>(b < 0xf0 ? (b & 1) : b);
    return s;
  }
  const std::uint8_t mode = in.u8();
  if (mode == 0xff) s.shape = Shape::NullWithCapacity;
  else if (mode == 0xfe) s.shape = Shape::NullWithLength;
  else if (mode == 0xfd) s.shape = Shape::LengthOverCapacity;
  else if (mode == 0xfc) s.shape = Shape::Null;
  else if (mode >= 0xe0) s.bytes = in.chunk();
  else s.bytes = encode(t, in);
  return s;
}

[[maybe_unused]] RustBuffer make_buffer(const ArgPlan& s) {
  static std::uint8_t scratch[8];
  switch (s.shape) {
    case Shape::NullWithCapacity: return RustBuffer{5, 0, nullptr};
    case Shape::NullWithLength: return RustBuffer{0, 5, nullptr};
    case Shape::LengthOverCapacity: return RustBuffer{2, 4, scratch};
    case Shape::Null: return RustBuffer{0, 0, nullptr};
    case Shape::Library: break;
  }
  return library_buffer(s.bytes);
}

template <Ty t>
iface::CType<t> make_argument(const ArgPlan& s) {
  if constexpr (t == Ty::U64) return s.scalar;
  else if constexpr (t == Ty::Bool) return static_cast<std::int8_t>(s.scalar);
  else return make_buffer(s);
}

// The text an argument carries, when it reaches the operation as text.
[[maybe_unused]] std::optional<std::string_view> text_of(const ArgPlan& s) {
  if (s.shape == Shape::Null) return std::string_view();
  if (s.shape != Shape::Library || !valid_utf8(s.bytes.data(), s.bytes.size())) return std::nullopt;
  return as_text(s.bytes);
}

// ---------------------------------------------------------------------------
// Outcomes

struct Outcome {
  std::int8_t code = 0;
  Bytes value;  // result bytes; a scalar result as its 8 big-endian bytes
  Bytes error;
  bool operator==(const Outcome&) const = default;
};

// A reader over nested values that refuses anything a host could not lift.
class Nested {
 public:
  explicit Nested(const Bytes& b) : b_(b) {}
  void need(std::size_t n) {
    if (b_.size() - pos_ < n) violated("result record shorter than its fields");
  }
  std::uint8_t u8() {
    need(1);
    return b_[pos_++];
  }
  void skip(std::size_t n) {
    need(n);
    pos_ += n;
  }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | u8();
    return v;
  }
  std::string_view string() {
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n = n << 8 | u8();
    if (n > 0x7fffffff) violated("negative length in a result");
    need(n);
    const std::string_view s(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    if (core::utf8_error(s)) violated("nested text of a result is not UTF-8");
    return s;
  }
  std::optional<std::string_view> field(Ty t) {
    switch (t) {
      case Ty::U8: skip(1); break;
      case Ty::U64: skip(8); break;
      case Ty::String: return string();
      case Ty::OptU64: {
        const std::uint8_t tag = u8();
        if (tag > 1) violated("bad option tag in a result");
        if (tag == 1) skip(8);
        break;
      }
      case Ty::OptString: {
        const std::uint8_t tag = u8();
        if (tag > 1) violated("bad option tag in a result");
        if (tag == 1) return string();
        break;
      }
      default: violated("unexpected field type");
    }
    return std::nullopt;
  }
  bool at_end() const { return pos_ == b_.size(); }

 private:
  const Bytes& b_;
  std::size_t pos_ = 0;
};

constexpr const iface::Record* record_of(Ty t) {
  for (const iface::Record& r : iface::kRecords) {
    if ((t == Ty::Deed && r.name == "Deed") || (t == Ty::AppKey && r.name == "AppKey") ||
        (t == Ty::Claims && r.name == "Claims") || (t == Ty::Pkce && r.name == "Pkce"))
      return &r;
  }
  return nullptr;
}

// A record result read field by field: exactly its declared fields, every text
// valid UTF-8. Returns the texts of its optional and text fields by name.
std::vector<std::pair<std::string_view, std::optional<std::string_view>>> read_record(Ty t, const Bytes& bytes) {
  const iface::Record* r = record_of(t);
  if (r == nullptr) violated("record type unknown");
  Nested n(bytes);
  std::vector<std::pair<std::string_view, std::optional<std::string_view>>> fields;
  for (std::size_t i = 0; i < r->fieldc; ++i) fields.emplace_back(r->fields[i].name, n.field(r->fields[i].type));
  if (!n.at_end()) violated("result record has trailing bytes");
  return fields;
}

[[maybe_unused]] std::optional<std::string_view> field_named(
    const std::vector<std::pair<std::string_view, std::optional<std::string_view>>>& fields, std::string_view name) {
  for (const auto& [n, v] : fields)
    if (n == name) return v;
  violated("record field missing");
}

void check_failure(const RustCallStatus& st, const std::vector<ArgPlan>& plans) {
  const RustBuffer& e = st.error_buf;
  if (e.data == nullptr || e.len > e.capacity) violated("error buffer malformed");
  if (st.code == 2) {
    if (!valid_utf8(e.data, e.len)) violated("internal failure message is not UTF-8");
    // Only an argument that cannot be lifted may fail a call internally: an
    // internal failure inside an operation is a fault whatever the input.
    const std::string_view message(reinterpret_cast<const char*>(e.data), e.len);
    if (message.starts_with("Failed to convert arg '")) {
      for (std::size_t i = 0; i < op().argc; ++i)
        if (message.starts_with(std::string("Failed to convert arg '") + std::string(op().args[i].name) + "':\n")) return;
      violated("lift failure names no declared argument");
    }
    const bool broken = std::ranges::any_of(plans, [](const ArgPlan& s) {
      return s.shape != Shape::Library && s.shape != Shape::Null;
    });
    if (!broken) violated("internal failure with well-formed buffers");
    if (message != "null RustBuffer had non-zero capacity" && message != "null RustBuffer had non-zero length" &&
        message != "RustBuffer length exceeds capacity")
      violated("unexpected internal failure message");
    return;
  }
  if (e.len < 8) violated("SdkError shorter than its header");
  const std::uint32_t variant = static_cast<std::uint32_t>(e.data[0]) << 24 | e.data[1] << 16 | e.data[2] << 8 | e.data[3];
  const std::uint32_t len = static_cast<std::uint32_t>(e.data[4]) << 24 | e.data[5] << 16 | e.data[6] << 8 | e.data[7];
  if (variant != 1 && variant != 2) violated("unknown SdkError variant");
  if (variant == 2 && !is_op("origin_vouch_binding")) violated("InsecureOrigin from an operation without a policy");
  if (len != e.len - 8) violated("SdkError message length does not match");
  if (!valid_utf8(e.data + 8, len)) violated("SdkError message is not UTF-8");
  if (!op().throws) violated("SdkError from an operation that declares none");
}

template <class R>
Outcome to_outcome(const R& result, RustCallStatus& st, const std::vector<ArgPlan>& plans) {
  Outcome o;
  o.code = st.code;
  if (st.code != 0 && st.code != 1 && st.code != 2) violated("status code out of range");
  if (st.code != 0) {
    check_failure(st, plans);
    if constexpr (std::is_same_v<R, RustBuffer>) {
      if (result.data != nullptr || result.len != 0 || result.capacity != 0) violated("failure returned a non-zero buffer");
    } else if (result != 0) {
      violated("failure returned a non-zero value");
    }
    o.error = take(st.error_buf);
    return o;
  }
  if constexpr (std::is_same_v<R, RustBuffer>) {
    if (result.data == nullptr || result.len > result.capacity) violated("result buffer malformed");
    o.value = take(result);
  } else {
    if constexpr (std::is_same_v<R, std::int8_t>) {
      if (result != 0 && result != 1) violated("boolean result other than 0 or 1");
    }
    const auto v = static_cast<std::uint64_t>(result);
    for (int s = 56; s >= 0; s -= 8) o.value.push_back(static_cast<std::uint8_t>(v >> s));
  }
  return o;
}

template <std::size_t... J>
Outcome call(const std::vector<ArgPlan>& plans, std::index_sequence<J...>) {
  using Fn = std::remove_pointer_t<iface::CFn<kOp>>;
  static auto* fn = export_named<Fn>("uniffi_quorvel_sdk_uniffi_fn_func_" + std::string(op().name));
  RustCallStatus st{};
  auto result = fn(make_argument<op().args[J].type>(plans[J])..., &st);
  return to_outcome(result, st, plans);
}

Outcome call(const std::vector<ArgPlan>& plans) { return call(plans, std::make_index_sequence<op().argc>{}); }

// Another export with text arguments only, for cross-checks.
[[maybe_unused]] Outcome call_text(const char* name, std::string_view arg) {
  auto* fn = export_named<RustBuffer(RustBuffer, RustCallStatus*)>(std::string("uniffi_quorvel_sdk_uniffi_fn_func_") + name);
  RustCallStatus st{};
  const RustBuffer out = fn(library_buffer(arg), &st);
  Outcome o;
  o.code = st.code;
  if (st.code == 0) o.value = take(out);
  else o.error = take(st.error_buf);
  return o;
}

// ---------------------------------------------------------------------------
// Properties of successful results

[[maybe_unused]] bool lower_hex(std::string_view s) {
  return std::ranges::all_of(s, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

[[maybe_unused]] std::string sha256_hex(std::string_view s) { return core::hex_encode(core::sha256(core::as_bytes(s))); }

// A link's reference is the hash of its canonical text, whatever the spelling.
[[maybe_unused]] void check_link_reference(std::string_view link_json, const Bytes& reference) {
  const auto link = core::parse_delegation(link_json);
  if (!link) violated("a hashed link does not parse");
  const std::string canonical = core::write_delegation(*link);
  if (as_text(reference) != sha256_hex(canonical)) violated("link reference is not the hash of the canonical text");
  const Outcome again = call_text("parent_ref_hash_link", canonical);
  if (again.code != 0 || again.value != reference) violated("canonical spelling of a link hashes differently");
}

// A canonical list is its own canonical form.
template <class Parse, class Write>
void check_canonical(std::optional<std::string_view> text, Parse parse, Write write, const char* what) {
  if (!text) violated(what);
  const auto parsed = parse(*text);
  if (!parsed || write(*parsed) != *text) violated(what);
}

// Claims come back only for the expected issuer and audience, and unexpired
// (60 seconds of allowance).
[[maybe_unused]] void check_claims(const std::vector<ArgPlan>& plans, const Bytes& claims) {
  Nested n(claims);
  const std::string_view iss = n.string();
  n.string();
  const std::string_view aud = n.string();
  const std::uint64_t exp = n.u64();
  if (iss != text_of(plans[2]) || aud != text_of(plans[3])) violated("claims of another issuer or audience");
  const std::uint64_t limit = exp > UINT64_MAX - 60 ? UINT64_MAX : exp + 60;
  if (plans[4].scalar > limit) violated("an expired token verified");
}

// A key's thumbprint does not depend on member order, spacing or extra
// members: the key re-written with sorted members has the same one.
[[maybe_unused]] void check_thumbprint_spelling(const std::vector<ArgPlan>& plans, const Bytes& thumbprint) {
  const auto jwk = core::json::parse(text_of(plans[0]).value_or(""));
  if (!jwk) return;  // the thumbprint reader may accept what the generic one refuses
  const Outcome again = call_text("issuer_key_id", core::json::to_text(*jwk));
  if (again.code != 0 || again.value != thumbprint) violated("another spelling of the key has another thumbprint");
}

void check_success(const std::vector<ArgPlan>& plans, const Outcome& out) {
  if (op().result == Ty::String && !valid_utf8(out.value.data(), out.value.size())) violated("text result is not UTF-8");
  if (record_of(op().result) != nullptr) read_record(op().result, out.value);
  const std::string_view text = as_text(out.value);
  if constexpr (is_op("normalize_origin")) {
    // Canonicalising a canonical origin changes nothing.
    const Outcome again = call_text("normalize_origin", text);
    if (again.code != 0) violated("canonical origin refused");
    if (again.value != out.value) violated("normalize_origin not idempotent");
  } else if constexpr (is_op("parent_ref_hash_link")) {
    if (out.value.size() != 64 || !lower_hex(text)) violated("reference is not 64 lower-case hex digits");
    const auto arg = text_of(plans[0]);
    if (!arg) violated("a text that cannot be lifted was hashed");
    check_link_reference(*arg, out.value);
  } else if constexpr (is_op("delegate")) {
    // The link comes out canonical, and its reference is the hash of it.
    const auto link = core::parse_delegation(text);
    if (!link || core::write_delegation(*link) != text) violated("delegate returned a non-canonical link");
    const Outcome reference = call_text("parent_ref_hash_link", text);
    if (reference.code != 0 || as_text(reference.value) != sha256_hex(text)) violated("a fresh link does not hash as itself");
  } else if constexpr (is_op("mint_capability_deed")) {
    const auto fields = read_record(Ty::Deed, out.value);
    check_canonical(field_named(fields, "grants"), core::parse_grant_list, core::write_grant_list,
                    "deed grants are not canonical");
    check_canonical(field_named(fields, "delegations"), core::parse_delegation_chain, core::write_delegation_chain,
                    "deed delegations are not canonical");
  } else if constexpr (is_op("build_authorize_url")) {
    const auto parsed = core::url::parse(text);
    if (!parsed || parsed->href() != text) violated("authorisation URL does not re-parse to itself");
  } else if constexpr (is_op("delegation_binding") || is_op("user_binding")) {
    if (out.value.size() % 2 != 0 || !lower_hex(text)) violated("binding is not lower-case hex");
  } else if constexpr (is_op("verify_token_at")) {
    check_claims(plans, out.value);
  } else if constexpr (is_op("issuer_key_id")) {
    if (out.value.size() != 64 || !lower_hex(text)) violated("thumbprint is not 64 lower-case hex digits");
    check_thumbprint_spelling(plans, out.value);
  } else if constexpr (is_op("is_origin_voucher_calldata")) {
    if (out.value.size() != 4 + 100 || out.value[3] != 100) violated("call data is not selector and three words");
  }
}

// The same arguments give the same outcome, byte for byte: a difference would
// mean a read of uninitialised or shared memory. PKCE is random by design.
void check_repeatable(const std::vector<ArgPlan>& plans, const Outcome& first) {
  if constexpr (is_op("generate_pkce")) return;
  if (call(plans) != first) violated("the same arguments gave another outcome");
}

template <std::size_t... J>
std::vector<ArgPlan> read_plans(fuzz::Input& in, std::index_sequence<J...>) {
  std::vector<ArgPlan> plans;
  (plans.push_back(read_plan(op().args[J].type, in)), ...);
  return plans;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::vector<ArgPlan> plans = read_plans(in, std::make_index_sequence<op().argc>{});
  const Outcome out = call(plans);
  if (out.code == 0) check_success(plans, out);
  check_repeatable(plans, out);
  return 0;
}
