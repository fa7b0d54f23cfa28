// The call frame every operation export runs: lift the arguments in declared
// order, run the operation behind a failure barrier, then lower the result or
// report the failure in the caller's status. Nothing ever throws past it.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <exception>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "deed/deed.hpp"
#include "ffi/buffer.hpp"
#include "ffi/interface.hpp"
#include "ffi/records.hpp"

namespace qsdk::ffi {

struct SdkError {
  enum class Variant : std::int32_t { Sdk = 1, InsecureOrigin = 2 };
  Variant variant;
  std::string message;

  // A message the exported layer raises itself, without a class prefix.
  static SdkError sdk(std::string message) { return {Variant::Sdk, std::move(message)}; }
};

SdkError to_sdk_error(const core::CoreError& e);
inline SdkError to_sdk_error(SdkError e) { return e; }

template <class T>
using Outcome = std::expected<T, SdkError>;

// Status writers; they never throw.
void report_error(RustCallStatus* status, const SdkError& e) noexcept;
void report_internal(RustCallStatus* status, std::string_view message) noexcept;

namespace detail {

using iface::Ty;

// Thrown while lifting; the frame names the argument.
struct ArgFailure {
  std::string_view name;
  std::string reason;
};

template <Ty t>
struct LiftedType;
template <> struct LiftedType<Ty::U64> { using type = std::uint64_t; };
template <> struct LiftedType<Ty::Bool> { using type = bool; };
// A text is a view into its argument buffer, alive until the call's end.
template <> struct LiftedType<Ty::String> { using type = std::string_view; };
template <> struct LiftedType<Ty::Bytes> { using type = std::vector<std::uint8_t>; };
template <> struct LiftedType<Ty::OptString> { using type = std::optional<std::string>; };
template <> struct LiftedType<Ty::Deed> { using type = DeedRecord; };

std::string_view lift_string(const RustBuffer& buf);
std::vector<std::uint8_t> lift_bytes(const RustBuffer& buf);
std::optional<std::string> lift_opt_string(const RustBuffer& buf);
DeedRecord lift_deed(const RustBuffer& buf);
bool lift_bool(std::int8_t raw);

template <Ty t, class Raw>
typename LiftedType<t>::type lift_one(Raw raw, std::string_view name) {
  try {
    if constexpr (t == Ty::U64) return raw;
    else if constexpr (t == Ty::Bool) return lift_bool(raw);
    else if constexpr (t == Ty::String) return lift_string(raw);
    else if constexpr (t == Ty::Bytes) return lift_bytes(raw);
    else if constexpr (t == Ty::OptString) return lift_opt_string(raw);
    else if constexpr (t == Ty::Deed) return lift_deed(raw);
  } catch (const LiftFailure& e) {
    throw ArgFailure{name, e.what()};
  }
}

// A secret is lifted as a view into its argument buffer, never copied, so
// wiping that buffer wipes every trace the frame made of it.
consteval bool secrets_are_texts() {
  for (const iface::Op& op : iface::kOps)
    for (std::size_t a = 0; a < op.argc; ++a)
      if (op.args[a].secret && op.args[a].type != Ty::String) return false;
  return true;
}
static_assert(secrets_are_texts(), "a secret argument must be a String, lifted without a copy");

// Releases every buffer argument when the call ends, whatever the path: after
// the lifted views into them and the lowered result are done with. Only the
// buffers of secret arguments are wiped first.
template <std::size_t N>
struct ReleaseArguments {
  std::array<RustBuffer, N> buffers;
  std::array<Wipe, N> wipe;
  std::size_t count = 0;
  ~ReleaseArguments() {
    for (std::size_t i = 0; i < count; ++i) release(buffers[i], wipe[i]);
  }
};

template <class Raw>
void collect(auto& guard, const Raw& raw, bool secret) {
  if constexpr (std::is_same_v<Raw, RustBuffer>) {
    guard.buffers[guard.count] = raw;
    guard.wipe[guard.count++] = secret ? Wipe::Yes : Wipe::No;
  }
}

// Every operation body may return a plain value, or an expected whose error
// is a CoreError or an SdkError; all become one Outcome.
template <class R>
struct IsExpected : std::false_type {};
template <class T, class E>
struct IsExpected<std::expected<T, E>> : std::true_type {};

template <class R>
auto to_outcome(R&& r) {
  using D = std::remove_cvref_t<R>;
  if constexpr (IsExpected<D>::value) {
    using T = typename D::value_type;
    if (r) return Outcome<T>(std::move(*r));
    return Outcome<T>(std::unexpect, to_sdk_error(std::move(r.error())));
  } else {
    return Outcome<D>(std::forward<R>(r));
  }
}

template <class V>
RustBuffer lower_record(const V& v) {
  return lowered([&](Writer& w) { write(w, v); });
}

// Takes the value: a deed's grants and links are released once their
// canonical texts are in the record, before the record is written out.
template <Ty t, class V>
auto lower(V& v) {
  if constexpr (t == Ty::U64) {
    static_assert(std::is_same_v<V, std::uint64_t>);
    return v;
  } else if constexpr (t == Ty::Bool) {
    static_assert(std::is_same_v<V, bool>);
    return static_cast<std::int8_t>(v ? 1 : 0);
  } else if constexpr (t == Ty::String) {
    static_assert(std::is_convertible_v<const V&, std::string_view>);
    return buffer_from(std::string_view(v));
  } else if constexpr (t == Ty::Bytes) {
    return lowered([&](Writer& w) { w.bytes(std::span<const std::uint8_t>(v)); });
  } else if constexpr (t == Ty::Deed) {
    if constexpr (std::is_same_v<V, core::Deed>) {
      const DeedRecord record = to_record(v);
      v = core::Deed{};
      return lower_record(record);
    } else {
      static_assert(std::is_same_v<V, DeedRecord>);
      return lower_record(v);
    }
  } else if constexpr (t == Ty::AppKey) {
    static_assert(std::is_same_v<V, AppKeyRecord>);
    return lower_record(v);
  } else if constexpr (t == Ty::Pkce) {
    static_assert(std::is_same_v<V, core::Pkce>);
    return lower_record(v);
  } else if constexpr (t == Ty::Claims) {
    static_assert(std::is_same_v<V, core::Claims>);
    return lower_record(v);
  }
}

template <std::size_t I>
inline constexpr iface::Op kOp = iface::kOps[I];

template <std::size_t I, class Body, class... Raw, std::size_t... J>
auto run_impl(RustCallStatus* status, Body& body, std::index_sequence<J...>, Raw... raw) {
  using Ret = iface::CType<kOp<I>.result>;
  static_assert(sizeof...(Raw) == kOp<I>.argc, "export arguments do not match the declared interface");

  ReleaseArguments<sizeof...(Raw) + 1> guard;
  (collect(guard, raw, kOp<I>.args[J].secret), ...);
  try {
    // Braced initialisation evaluates the lifts left to right: declared order.
    std::tuple<typename LiftedType<kOp<I>.args[J].type>::type...> lifted{
        lift_one<kOp<I>.args[J].type>(raw, kOp<I>.args[J].name)...};
    auto outcome = to_outcome(std::apply(body, std::move(lifted)));
    if (!outcome) {
      report_error(status, outcome.error());
      return Ret{};
    }
    return lower<kOp<I>.result>(*outcome);
  } catch (const ArgFailure& f) {
    std::string message = "Failed to convert arg '";
    message += f.name;
    message += "':\n";
    message += f.reason;
    report_internal(status, message);
  } catch (const std::exception& e) {
    report_internal(status, *e.what() ? std::string_view(e.what()) : std::string_view("Unknown panic!"));
  } catch (...) {
    report_internal(status, "Unknown panic!");
  }
  return Ret{};
}

}  // namespace detail

// Runs operation I of the interface table. `body` receives the lifted
// arguments (u64 as std::uint64_t, bool as bool, String as std::string_view
// into its argument buffer, which outlives the result's lowering, byte array
// as std::vector<std::uint8_t>, optional String as std::optional<std::string>,
// Deed as DeedRecord) and returns the result, or an expected carrying a
// CoreError or an SdkError.
template <std::size_t I, class Body, class... Raw>
iface::CType<iface::kOps[I].result> run(RustCallStatus* status, Body&& body, Raw... raw) {
  return detail::run_impl<I>(status, body, std::index_sequence_for<Raw...>{}, raw...);
}

}  // namespace qsdk::ffi

// Opens an export's definition and checks, at compile time, that its C
// signature is the one the interface table declares for it.
#define QSDK_OPERATION(name) \
  static_assert(std::is_same_v<decltype(&uniffi_quorvel_sdk_uniffi_fn_func_##name), \
                               ::qsdk::ffi::iface::CFn<::qsdk::ffi::iface::op_index(#name)>>, \
                "C signature of " #name " differs from the interface table")

#define QSDK_OP(name) ::qsdk::ffi::iface::op_index(#name)
