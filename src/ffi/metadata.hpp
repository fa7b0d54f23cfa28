// Interface metadata blobs, built at compile time from the interface table.
// A bindings generator reads them from the library file and derives each
// operation's checksum from its blob; the documentation is part of what it
// hashes, so each operation's documentation ends in an invisible run of
// spaces and tabs (the table's doc_padding) that makes the blob hash to its
// declared checksum. tools/iface finds that run; the build only checks it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ffi/interface.hpp"

namespace qsdk::ffi::meta {

using iface::Ty;

inline constexpr std::uint8_t kKindFunc = 0;
inline constexpr std::uint8_t kKindRecord = 2;
inline constexpr std::uint8_t kKindEnum = 3;
inline constexpr std::uint8_t kKindNamespace = 6;

inline constexpr std::uint8_t kTypeU8 = 0;
inline constexpr std::uint8_t kTypeU64 = 3;
inline constexpr std::uint8_t kTypeBool = 10;
inline constexpr std::uint8_t kTypeString = 11;
inline constexpr std::uint8_t kTypeOption = 12;
inline constexpr std::uint8_t kTypeRecord = 13;
inline constexpr std::uint8_t kTypeEnum = 14;
inline constexpr std::uint8_t kTypeSequence = 17;
inline constexpr std::uint8_t kTypeResult = 23;

inline constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
inline constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

constexpr std::uint64_t fnv1a(std::uint64_t h, std::uint8_t byte) { return (h ^ byte) * kFnvPrime; }
constexpr std::uint16_t fold16(std::uint64_t h) {
  return static_cast<std::uint16_t>((h ^ h >> 16 ^ h >> 32 ^ h >> 48) & 0xffff);
}
template <class Bytes>
constexpr std::uint16_t checksum_of(const Bytes& blob, std::size_t n) {
  std::uint64_t h = kFnvOffset;
  for (std::size_t i = 0; i < n; ++i) h = fnv1a(h, blob[i]);
  return fold16(h);
}

struct Blob {
  std::array<std::uint8_t, 8192> bytes{};
  std::size_t size = 0;

  constexpr void put(std::uint8_t b) { bytes[size++] = b; }
  constexpr void text(std::string_view s) {
    for (char c : s) put(static_cast<std::uint8_t>(c));
  }
  constexpr void name(std::string_view s) {
    put(static_cast<std::uint8_t>(s.size()));
    text(s);
  }
  constexpr void doc_len(std::size_t n) {
    put(static_cast<std::uint8_t>(n & 0xff));
    put(static_cast<std::uint8_t>(n >> 8));
  }
  constexpr void doc(std::string_view s) {
    doc_len(s.size());
    text(s);
  }
};

constexpr void put_type(Blob& b, Ty t) {
  switch (t) {
    case Ty::U8: b.put(kTypeU8); break;
    case Ty::U64: b.put(kTypeU64); break;
    case Ty::Bool: b.put(kTypeBool); break;
    case Ty::String: b.put(kTypeString); break;
    case Ty::Bytes: b.put(kTypeSequence); b.put(kTypeU8); break;
    case Ty::OptString: b.put(kTypeOption); b.put(kTypeString); break;
    case Ty::OptU64: b.put(kTypeOption); b.put(kTypeU64); break;
    case Ty::Deed: b.put(kTypeRecord); b.name(iface::kModule); b.name("Deed"); break;
    case Ty::Claims: b.put(kTypeRecord); b.name(iface::kModule); b.name("Claims"); break;
    case Ty::AppKey: b.put(kTypeRecord); b.name(iface::kModule); b.name("AppKey"); break;
    case Ty::Pkce: b.put(kTypeRecord); b.name(iface::kModule); b.name("Pkce"); break;
  }
}

// Everything of an operation's blob that precedes its documentation.
constexpr Blob func_head(const iface::Op& op) {
  Blob b;
  b.put(kKindFunc);
  b.name(iface::kModule);
  b.name(op.name);
  b.put(0);  // not asynchronous
  b.put(static_cast<std::uint8_t>(op.argc));
  for (std::size_t i = 0; i < op.argc; ++i) {
    b.name(op.args[i].name);
    put_type(b, op.args[i].type);
    b.put(0);  // no default value
  }
  if (op.throws) {
    b.put(kTypeResult);
    put_type(b, op.result);
    b.put(kTypeEnum);
    b.name(iface::kModule);
    b.name(iface::kErrorName);
  } else {
    put_type(b, op.result);
  }
  return b;
}

constexpr Blob func_blob(const iface::Op& op) {
  Blob b = func_head(op);
  b.doc_len(op.doc.size() + op.doc_padding.size());
  b.text(op.doc);
  b.text(op.doc_padding);
  return b;
}

constexpr Blob record_blob(const iface::Record& r) {
  Blob b;
  b.put(kKindRecord);
  b.name(iface::kModule);
  b.name(r.name);
  b.put(static_cast<std::uint8_t>(r.fieldc));
  for (std::size_t i = 0; i < r.fieldc; ++i) {
    b.name(r.fields[i].name);
    put_type(b, r.fields[i].type);
    b.put(0);  // no default value
    b.doc(r.fields[i].doc);
  }
  b.doc(r.doc);
  return b;
}

constexpr Blob error_blob() {
  Blob b;
  b.put(kKindEnum);
  b.name(iface::kModule);
  b.name(iface::kErrorName);
  b.put(2);  // an error enumeration
  b.put(0);  // flat: variants carry only a message
  b.put(static_cast<std::uint8_t>(iface::kErrorVariants.size()));
  for (auto v : iface::kErrorVariants) {
    b.name(v);
    b.put(0);
    b.put(0);
  }
  b.put(0);
  b.doc(iface::kErrorDoc);
  return b;
}

constexpr Blob namespace_blob() {
  Blob b;
  b.put(kKindNamespace);
  b.name(iface::kModule);
  b.name(iface::kModule);
  return b;
}

template <const Blob& B>
constexpr auto exact() {
  std::array<std::uint8_t, B.size> out{};
  for (std::size_t i = 0; i < B.size; ++i) out[i] = B.bytes[i];
  return out;
}

template <std::size_t I>
inline constexpr Blob kFuncBlob = func_blob(iface::kOps[I]);

}  // namespace qsdk::ffi::meta
