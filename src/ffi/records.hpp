// The records that cross the boundary, their nested wire forms, and the
// conversions between a record and the core value it stands for.
//
// A record's wire form is declared once, in the interface table
// (iface::kDeed, ...): field names, types and order. Here each record binds
// those names to the members that hold them:
//
//   template <> struct WireFields<core::Pkce> {
//     static constexpr const iface::Record& declared = iface::kPkce;
//     static constexpr auto fields = std::tuple{wire_field("verifier", &core::Pkce::verifier), ...};
//   };
//
// A binding that names the fields in another order than the table, misses
// one, or binds a member of another type does not compile; the reader and
// the writer below follow the binding, so the wire order is the table's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "base/error.hpp"
#include "base/secret.hpp"
#include "deed/deed.hpp"
#include "ffi/buffer.hpp"
#include "ffi/interface.hpp"
#include "oauth/pkce.hpp"
#include "oauth/token.hpp"

namespace qsdk::ffi {

// The boundary form of a deed: the core's terms, with the capability lists as
// their canonical JSON text.
struct DeedRecord : core::DeedTerms {
  std::optional<std::string> grants;
  std::optional<std::string> delegations;

  bool operator==(const DeedRecord&) const = default;
};

struct AppKeyRecord {
  core::SecretString secret_key_hex;
  std::string pubkey_hex;
};

// The one pair of conversions between the core deed and its boundary form.
// to_record writes the capability lists as canonical JSON; from_record parses
// them, so a deed that carries unparsable capabilities is refused rather than
// silently repaired.
DeedRecord to_record(const core::Deed& deed);
core::Result<core::Deed> from_record(const DeedRecord& record);

template <class T, class M>
struct WireField {
  std::string_view name;
  M T::*member;
};
template <class T, class M>
constexpr WireField<T, M> wire_field(std::string_view name, M T::*member) {
  return {name, member};
}

template <class T>
struct WireFields;  // specialised per record below

template <>
struct WireFields<DeedRecord> {
  static constexpr const iface::Record& declared = iface::kDeed;
  static constexpr auto fields = std::tuple{
      wire_field("v", &DeedRecord::v),
      wire_field("mode", &DeedRecord::mode),
      wire_field("tenant", &DeedRecord::tenant),
      wire_field("sub", &DeedRecord::sub),
      wire_field("aud", &DeedRecord::aud),
      wire_field("challenge", &DeedRecord::challenge),
      wire_field("exp", &DeedRecord::exp),
      wire_field("root", &DeedRecord::root),
      wire_field("proof", &DeedRecord::proof),
      wire_field("pubkey", &DeedRecord::pubkey),
      wire_field("signature", &DeedRecord::signature),
      wire_field("credential_pubkey", &DeedRecord::credential_pubkey),
      wire_field("authenticator_data", &DeedRecord::authenticator_data),
      wire_field("client_data_json", &DeedRecord::client_data_json),
      wire_field("assertion_sig", &DeedRecord::assertion_sig),
      wire_field("signer", &DeedRecord::signer),
      wire_field("grants", &DeedRecord::grants),
      wire_field("delegations", &DeedRecord::delegations),
  };
};

template <>
struct WireFields<AppKeyRecord> {
  static constexpr const iface::Record& declared = iface::kAppKey;
  static constexpr auto fields = std::tuple{
      wire_field("secret_key_hex", &AppKeyRecord::secret_key_hex),
      wire_field("pubkey_hex", &AppKeyRecord::pubkey_hex),
  };
};

// Pkce and Claims cross the boundary exactly as the core holds them.
template <>
struct WireFields<core::Pkce> {
  static constexpr const iface::Record& declared = iface::kPkce;
  static constexpr auto fields = std::tuple{
      wire_field("verifier", &core::Pkce::verifier),
      wire_field("challenge", &core::Pkce::challenge),
  };
};

template <>
struct WireFields<core::Claims> {
  static constexpr const iface::Record& declared = iface::kClaims;
  static constexpr auto fields = std::tuple{
      wire_field("iss", &core::Claims::iss),   wire_field("sub", &core::Claims::sub),
      wire_field("aud", &core::Claims::aud),   wire_field("exp", &core::Claims::exp),
      wire_field("iat", &core::Claims::iat),   wire_field("tid", &core::Claims::tid),
      wire_field("nonce", &core::Claims::nonce),
  };
};

namespace detail {

// The member type that holds a field of declared type t.
template <class M>
constexpr bool holds(iface::Ty t) {
  using iface::Ty;
  if constexpr (std::is_same_v<M, std::uint8_t>) return t == Ty::U8;
  else if constexpr (std::is_same_v<M, std::uint64_t>) return t == Ty::U64;
  else if constexpr (std::is_same_v<M, std::string> || std::is_same_v<M, core::SecretString>) return t == Ty::String;
  else if constexpr (std::is_same_v<M, std::optional<std::string>>) return t == Ty::OptString;
  else if constexpr (std::is_same_v<M, std::optional<std::uint64_t>>) return t == Ty::OptU64;
  else return false;
}

template <class T>
consteval bool binding_matches_declaration() {
  constexpr const iface::Record& decl = WireFields<T>::declared;
  constexpr auto& fields = WireFields<T>::fields;
  if (std::tuple_size_v<std::remove_cvref_t<decltype(fields)>> != decl.fieldc) return false;
  return std::apply(
      [&](const auto&... f) {
        std::size_t i = 0;
        return ((f.name == decl.fields[i].name &&
                 holds<std::remove_cvref_t<decltype(std::declval<T>().*(f.member))>>(decl.fields[i++].type)) &&
                ...);
      },
      fields);
}

template <class M>
void write_value(Writer& w, const M& v) {
  if constexpr (std::is_same_v<M, std::uint8_t>) w.u8(v);
  else if constexpr (std::is_same_v<M, std::uint64_t>) w.u64(v);
  else if constexpr (std::is_same_v<M, std::string> || std::is_same_v<M, core::SecretString>) w.string(v);
  else if constexpr (std::is_same_v<M, std::optional<std::string>>) w.optional_string(v);
  else if constexpr (std::is_same_v<M, std::optional<std::uint64_t>>) w.optional_u64(v);
  else static_assert(sizeof(M) == 0, "no nested writer for this member type");
}

template <class M>
M read_value(Reader& r) {
  if constexpr (std::is_same_v<M, std::uint8_t>) return r.u8();
  else if constexpr (std::is_same_v<M, std::uint64_t>) return r.u64();
  else if constexpr (std::is_same_v<M, std::string>) return r.string();
  else if constexpr (std::is_same_v<M, std::optional<std::string>>) return r.optional_string();
  else if constexpr (std::is_same_v<M, std::optional<std::uint64_t>>) return r.optional_u64();
  else static_assert(sizeof(M) == 0, "no nested reader for this member type");
}

}  // namespace detail

template <class T>
concept WireRecord = detail::binding_matches_declaration<T>();

// The record's fields in declared order, each in its nested form.
template <WireRecord T>
void write(Writer& w, const T& record) {
  std::apply([&](const auto&... f) { (detail::write_value(w, record.*(f.member)), ...); }, WireFields<T>::fields);
}

template <WireRecord T>
T read(Reader& r) {
  T record{};
  // A fold over the comma operator reads left to right: declared order.
  std::apply(
      [&](const auto&... f) {
        ((record.*(f.member) = detail::read_value<std::remove_cvref_t<decltype(record.*(f.member))>>(r)), ...);
      },
      WireFields<T>::fields);
  return record;
}

static_assert(WireRecord<DeedRecord> && WireRecord<AppKeyRecord> && WireRecord<core::Pkce> &&
                  WireRecord<core::Claims>,
              "a record's binding differs from its declaration in the interface table");

inline DeedRecord read_deed(Reader& r) { return read<DeedRecord>(r); }

}  // namespace qsdk::ffi
