// One libFuzzer target per exported operation (QSDK_FUZZ_OP is its index in
// the interface table). The harness calls the export exactly as a host
// binding would and checks what a host relies on: the status code, the zero
// value after a failure, and well-formed error and result buffers.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "core/utf8.hpp"
#include "ffi/interface.hpp"
#include "input.hpp"

namespace {

namespace iface = qsdk::ffi::iface;
using iface::Ty;

constexpr std::size_t kOp = QSDK_FUZZ_OP;
constexpr const iface::Op& op() { return iface::kOps[kOp]; }

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

RustBuffer library_buffer(const std::vector<std::uint8_t>& bytes) {
  static auto* from_bytes = export_named<RustBuffer(ForeignBytes, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus st{};
  RustBuffer b = from_bytes(ForeignBytes{static_cast<std::int32_t>(bytes.size()), bytes.data()}, &st);
  if (st.code != 0) violated("rustbuffer_from_bytes failed");
  return b;
}

void free_buffer(RustBuffer b) {
  static auto* f = export_named<void(RustBuffer, RustCallStatus*)>("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  RustCallStatus st{};
  f(b, &st);
  if (st.code != 0) violated("freeing a library buffer failed");
}

void put_i32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}
void put_string(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& s) {
  put_i32(out, static_cast<std::uint32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

// The nested encoding of a typed argument, well formed most of the time so
// that the operation behind the lifting is reached.
std::vector<std::uint8_t> encode(Ty t, fuzz::Input& in) {
  std::vector<std::uint8_t> out;
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

// Mode byte: mostly a proper argument, sometimes raw bytes, sometimes a
// buffer that breaks the invariants (which must not be freed or read).
[[maybe_unused]] RustBuffer buffer_argument(Ty t, fuzz::Input& in) {
  static std::uint8_t scratch[8];
  const std::uint8_t mode = in.u8();
  if (mode == 0xff) return RustBuffer{5, 0, nullptr};
  if (mode == 0xfe) return RustBuffer{0, 5, nullptr};
  if (mode == 0xfd) return RustBuffer{2, 4, scratch};
  if (mode == 0xfc) return RustBuffer{0, 0, nullptr};
  if (mode >= 0xe0) return library_buffer(in.chunk());
  return library_buffer(encode(t, in));
}

template <Ty t>
iface::CType<t> argument(fuzz::Input& in) {
  if constexpr (t == Ty::U64) return in.u64();
  else if constexpr (t == Ty::Bool) {
    const std::uint8_t b = in.u8();
    return static_cast<std::int8_t>(b < 0xf0 ? (b & 1) : b);
  } else return buffer_argument(t, in);
}

bool valid_utf8(const std::uint8_t* p, std::size_t n) {
  return !qsdk::core::utf8_error(std::string_view(reinterpret_cast<const char*>(p), n));
}

void check_failure(const RustCallStatus& st) {
  const RustBuffer& e = st.error_buf;
  if (e.data == nullptr || e.len > e.capacity) violated("error buffer malformed");
  if (st.code == 2) {
    if (!valid_utf8(e.data, e.len)) violated("internal failure message is not UTF-8");
    return;
  }
  if (e.len < 8) violated("SdkError shorter than its header");
  const std::uint32_t variant = static_cast<std::uint32_t>(e.data[0]) << 24 | e.data[1] << 16 | e.data[2] << 8 | e.data[3];
  const std::uint32_t len = static_cast<std::uint32_t>(e.data[4]) << 24 | e.data[5] << 16 | e.data[6] << 8 | e.data[7];
  if (variant != 1 && variant != 2) violated("unknown SdkError variant");
  if (variant == 2 && op().name != "origin_vouch_binding") violated("InsecureOrigin from an operation without a policy");
  if (len != e.len - 8) violated("SdkError message length does not match");
  if (!valid_utf8(e.data + 8, len)) violated("SdkError message is not UTF-8");
}

// Operation-specific properties of a successful result.
[[maybe_unused]] void check_success(const RustBuffer& out) {
  if (op().result == Ty::String && !valid_utf8(out.data, out.len)) violated("text result is not UTF-8");
  if (op().name == "normalize_origin") {
    // Canonicalising a canonical origin changes nothing.
    static auto* normalize = export_named<RustBuffer(RustBuffer, RustCallStatus*)>("uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin");
    std::vector<std::uint8_t> first(out.data, out.data + out.len);
    RustCallStatus st{};
    RustBuffer again = normalize(library_buffer(first), &st);
    if (st.code != 0) violated("canonical origin refused");
    if (std::vector<std::uint8_t>(again.data, again.data + again.len) != first) violated("normalize_origin not idempotent");
    free_buffer(again);
  }
}

template <class R>
void check_outcome(const R& result, RustCallStatus& st) {
  if (st.code != 0 && st.code != 1 && st.code != 2) violated("status code out of range");
  if (st.code != 0) {
    check_failure(st);
    if constexpr (std::is_same_v<R, RustBuffer>) {
      if (result.data != nullptr || result.len != 0 || result.capacity != 0) violated("failure returned a non-zero buffer");
    } else if (result != 0) {
      violated("failure returned a non-zero value");
    }
    free_buffer(st.error_buf);
    return;
  }
  if constexpr (std::is_same_v<R, RustBuffer>) {
    if (result.data == nullptr || result.len > result.capacity) violated("result buffer malformed");
    check_success(result);
    free_buffer(result);
  } else if constexpr (std::is_same_v<R, std::int8_t>) {
    if (result != 0 && result != 1) violated("boolean result other than 0 or 1");
  }
}

template <std::size_t... J>
void call(fuzz::Input& in, std::index_sequence<J...>) {
  using Fn = std::remove_pointer_t<iface::CFn<kOp>>;
  static auto* fn = export_named<Fn>("uniffi_quorvel_sdk_uniffi_fn_func_" + std::string(op().name));
  // Braced initialisation reads the fields in declared order.
  std::tuple<iface::CType<op().args[J].type>...> args{argument<op().args[J].type>(in)...};
  RustCallStatus st{};
  auto result = fn(std::get<J>(args)..., &st);
  check_outcome(result, st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  call(in, std::make_index_sequence<op().argc>{});
  return 0;
}
