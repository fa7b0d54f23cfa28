#include "robust/invoke.hpp"

#include <array>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "ffi/host.hpp"
#include "ffi/interface.hpp"

namespace robust {
namespace {

namespace iface = qsdk::ffi::iface;
using iface::Ty;

template <Ty t>
iface::CType<t> c_argument(const Arg& a) {
  if constexpr (t == Ty::U64 || t == Ty::Bool) {
    if (a.kind != Arg::Kind::Scalar) throw std::invalid_argument("scalar expected");
    return static_cast<iface::CType<t>>(a.scalar);
  } else {
    if (a.kind == Arg::Kind::Foreign) return a.foreign;
    if (a.kind != Arg::Kind::Buffer) throw std::invalid_argument("buffer expected");
    return host::buffer(a.bytes);
  }
}

template <class R>
Outcome outcome(const R& result, RustCallStatus& st) {
  Outcome o;
  o.code = st.code;
  if (st.code != 0) {
    o.error = host::take(st.error_buf);
    return o;
  }
  if constexpr (std::is_same_v<R, RustBuffer>) {
    o.value = host::take(result);
  } else {
    host::put_u64(o.value, static_cast<std::uint64_t>(result));
  }
  return o;
}

template <std::size_t I, std::size_t... J>
Outcome call(const std::vector<Arg>& args, std::index_sequence<J...>) {
  constexpr const iface::Op& op = iface::kOps[I];
  using Fn = std::remove_pointer_t<iface::CFn<I>>;
  static Fn* const fn = host::lib().op<Fn>(std::string(op.name));
  if (args.size() != op.argc) throw std::invalid_argument("argument count differs from the declaration");
  // Braced initialisation builds the arguments in declared order.
  std::tuple<iface::CType<op.args[J].type>...> c_args{c_argument<op.args[J].type>(args[J])...};
  RustCallStatus st{};
  const auto result = fn(std::get<J>(c_args)..., &st);
  return outcome(result, st);
}

template <std::size_t I>
Outcome call_op(const std::vector<Arg>& args) {
  return call<I>(args, std::make_index_sequence<iface::kOps[I].argc>{});
}

template <std::size_t... I>
constexpr auto dispatch_table(std::index_sequence<I...>) {
  return std::array<Outcome (*)(const std::vector<Arg>&), sizeof...(I)>{&call_op<I>...};
}

constexpr auto kDispatch = dispatch_table(std::make_index_sequence<iface::kOps.size()>{});

}  // namespace

Arg byte_array(const Bytes& b) {
  Bytes out;
  host::put_i32(out, static_cast<std::int32_t>(b.size()));
  out.insert(out.end(), b.begin(), b.end());
  return Arg::raw(std::move(out));
}

Arg opt_text(const std::optional<std::string>& s) {
  Bytes out;
  host::put_opt_string(out, s);
  return Arg::raw(std::move(out));
}

std::string Outcome::message() const {
  if (code == 2) return std::string(error.begin(), error.end());
  if (code == 1 && error.size() >= 8) return std::string(error.begin() + 8, error.end());
  return {};
}

std::size_t op_count() { return iface::kOps.size(); }
std::string_view op_name(std::size_t op) { return iface::kOps.at(op).name; }

std::size_t op_index(std::string_view name) {
  for (std::size_t i = 0; i < iface::kOps.size(); ++i)
    if (iface::kOps[i].name == name) return i;
  throw std::invalid_argument("no such operation: " + std::string(name));
}

Outcome invoke(std::size_t op, const std::vector<Arg>& args) { return kDispatch.at(op)(args); }

}  // namespace robust
