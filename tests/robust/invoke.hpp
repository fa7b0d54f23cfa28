// Calls any operation export by its index in the interface table, with
// arguments described as data, the way a generated binding does: a table of
// argument sets can then drive all 29 operations through one function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ffi/host.hpp"
#include "quorvel_sdk_uniffi.h"

namespace robust {

using Bytes = std::vector<std::uint8_t>;

// One argument as a host passes it. A Buffer argument is copied into a fresh
// library buffer at each call (the call consumes it); a Foreign one is passed
// exactly as given, for buffers that break the invariants.
struct Arg {
  enum class Kind { Scalar, Buffer, Foreign };
  Kind kind = Kind::Scalar;
  std::uint64_t scalar = 0;
  Bytes bytes;
  RustBuffer foreign{};

  static Arg u64(std::uint64_t v) { return {Kind::Scalar, v, {}, {}}; }
  static Arg flag(std::int8_t v) { return {Kind::Scalar, static_cast<std::uint8_t>(v), {}, {}}; }
  static Arg raw(Bytes b) { return {Kind::Buffer, 0, std::move(b), {}}; }
  static Arg text(std::string_view s) { return raw(Bytes(s.begin(), s.end())); }
  static Arg foreign_buffer(RustBuffer b) { return {Kind::Foreign, 0, {}, b}; }
};

// Nested encodings (host.hpp's put_* write the pieces).
Arg byte_array(const Bytes& b);
Arg opt_text(const std::optional<std::string>& s);

// A Deed argument (host.hpp's record and wire form).
inline Arg deed(const host::Deed& d) { return Arg::raw(host::deed_bytes(d)); }

// What a call gave back, every buffer copied and released: the status code,
// the result (a scalar result as its 8 big-endian bytes) and the error buffer.
struct Outcome {
  int code = 0;
  Bytes value;
  Bytes error;
  bool operator==(const Outcome&) const = default;
  // The message of an internal failure or of an SdkError, for diagnostics.
  std::string message() const;
};

std::size_t op_count();
std::string_view op_name(std::size_t op);
std::size_t op_index(std::string_view name);

// Calls operation `op` of the loaded library. Throws std::invalid_argument
// when the arguments do not fit the declared ones.
Outcome invoke(std::size_t op, const std::vector<Arg>& args);

}  // namespace robust
