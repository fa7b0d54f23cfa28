// Every operation through the C interface beside its floor: the bare
// primitive it wraps, measured in the same run. Each bench_<area>.cpp adds
// rows with bench::add; an operation's benchmark is named "op/<operation>"
// and carries its floor's name as its label, a floor's is "floor/<name>",
// and scripts/bench pairs them into one table.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <secp256k1.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ffi/host.hpp"

namespace bench {

struct Floor {
  std::string name;
  std::function<void()> step;
};

struct Row {
  std::string op;               // the operation; a variant in brackets when it has several rows
  std::function<bool()> call;   // one call through the C interface, buffers released; false on failure
  std::optional<Floor> floor;   // none for an operation that wraps nothing at all
};

// Registers each row's benchmark, and each floor once however many rows share it.
bool add(std::vector<Row> rows);

// A secp256k1 context for a floor's whole run, made outside the timed loop,
// so that the floor is the primitive alone.
struct Secp {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  ~Secp() { secp256k1_context_destroy(ctx); }
  Secp() = default;
  Secp(const Secp&) = delete;
};

// Floors shared across areas.
Floor sha256_floor(std::size_t bytes);
// EIP-191 personal sign of a message of `bytes` bytes: Keccak-256, then one
// recoverable secp256k1 signature.
Floor eip191_sign_floor(std::size_t bytes);
// Recovering who signed `message`: libsecp256k1 parsing the 65-byte
// signature and recovering the key from the message's EIP-191 digest, which
// is computed once outside the loop. Nothing else: the least any recovery
// of that signature does.
Floor recover_floor(const std::string& message, const std::string& signature_hex);
// What an operation that wraps no primitive is measured against: copying its
// argument texts into library buffers and releasing them.
Floor buffer_floor(std::vector<std::string> texts);

// Arguments as the benchmark holds them, turned into what the export takes at
// each call: texts and byte strings become fresh buffers (a call consumes
// them), integers pass as they are.
inline RustBuffer lift(std::string_view s) { return host::text(s); }
inline RustBuffer lift(const std::string& s) { return host::text(s); }
inline RustBuffer lift(const char* s) { return host::text(s); }
inline RustBuffer lift(const host::Bytes& b) { return host::buffer(b); }
template <class T>
  requires std::is_arithmetic_v<T>
T lift(T v) {
  return v;
}

inline void release(RustBuffer b) { host::free_buffer(b); }
template <class T>
  requires std::is_arithmetic_v<T>
void release(T v) {
  benchmark::DoNotOptimize(v);
}

// An operation's export, or null when the library lacks it (the row then
// reports an error instead of a time).
template <class Fn>
Fn* export_of(const std::string& op) {
  return reinterpret_cast<Fn*>(dlsym(host::lib().handle(), ("uniffi_quorvel_sdk_uniffi_fn_func_" + op).c_str()));
}

// One call of `fn` with the given arguments, checked.
template <class R, class... P, class... A>
std::function<bool()> call(R (*fn)(P...), A... args) {
  if (fn == nullptr) return [] { return false; };
  return [=] {
    host::Status st;
    release(fn(lift(args)..., &st));
    return st.code() == 0;
  };
}

// A byte array argument: its serialised form, a big-endian length then the bytes.
host::Bytes byte_array(const host::Bytes& bytes);

}  // namespace bench

// The export's own pointer, loaded by name, typed from the public header.
#define QSDK_FN(name) bench::export_of<std::remove_pointer_t<decltype(&uniffi_quorvel_sdk_uniffi_fn_func_##name)>>(#name)
