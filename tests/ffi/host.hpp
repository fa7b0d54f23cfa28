// A host's view of the library: loads it with dlopen and calls exports by
// symbol name, the way a generated language binding does.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel_sdk_uniffi.h"

namespace host {

using Bytes = std::vector<std::uint8_t>;

// The library under test: the build's, unless QUORVEL_SDK_UNIFFI_LIB names
// another copy of it (the package tests run these suites on the bundle).
inline std::string library_path() {
  const char* path = std::getenv("QUORVEL_SDK_UNIFFI_LIB");
  return path != nullptr && *path != '\0' ? path : QSDK_LIBRARY_PATH;
}

class Library {
 public:
  static Library& get() {
    static Library lib;
    return lib;
  }
  void* handle() const { return handle_; }

  template <class Fn>
  Fn* fn(const std::string& name) const {
    void* p = dlsym(handle_, name.c_str());
    if (p == nullptr) throw std::runtime_error("missing export " + name);
    return reinterpret_cast<Fn*>(p);
  }
  // An operation export by its operation name.
  template <class Fn>
  Fn* op(const std::string& name) const {
    return fn<Fn>("uniffi_quorvel_sdk_uniffi_fn_func_" + name);
  }

 private:
  Library() : handle_(dlopen(library_path().c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
  }
  void* handle_;
};

inline Library& lib() { return Library::get(); }

// A buffer holding these bytes, allocated by the library as a host would:
// one copy straight from the host's own memory.
inline RustBuffer buffer(const std::uint8_t* data, std::size_t size) {
  using FromBytes = RustBuffer(ForeignBytes, RustCallStatus*);
  static FromBytes* const from_bytes = lib().fn<FromBytes>("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus st{};
  RustBuffer b = from_bytes(ForeignBytes{static_cast<std::int32_t>(size), data}, &st);
  if (st.code != 0) throw std::runtime_error("rustbuffer_from_bytes failed");
  return b;
}
inline RustBuffer buffer(const Bytes& bytes) { return buffer(bytes.data(), bytes.size()); }
inline RustBuffer text(std::string_view s) {
  return buffer(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

inline void free_buffer(RustBuffer b) {
  using Free = void(RustBuffer, RustCallStatus*);
  static Free* const free = lib().fn<Free>("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  RustCallStatus st{};
  free(b, &st);
}

// Copies a returned buffer's bytes and releases it.
inline Bytes take(RustBuffer b) {
  Bytes out(b.data, b.data + b.len);
  free_buffer(b);
  return out;
}
inline std::string take_text(RustBuffer b) {
  Bytes bytes = take(b);
  return std::string(bytes.begin(), bytes.end());
}

// Nested encodings, for building argument buffers by hand.
inline void put_u8(Bytes& out, std::uint8_t v) { out.push_back(v); }
inline void put_i32(Bytes& out, std::int32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> s));
}
inline void put_u64(Bytes& out, std::uint64_t v) {
  for (int s = 56; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}
inline void put_string(Bytes& out, std::string_view s) {
  put_i32(out, static_cast<std::int32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}
inline void put_opt_string(Bytes& out, const std::optional<std::string>& s) {
  put_u8(out, s ? 1 : 0);
  if (s) put_string(out, *s);
}

// Reads nested values out of a returned buffer's bytes.
class Cursor {
 public:
  explicit Cursor(Bytes b) : b_(std::move(b)) {}
  std::uint8_t u8() { return b_.at(pos_++); }
  std::int32_t i32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | u8();
    return static_cast<std::int32_t>(v);
  }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | u8();
    return v;
  }
  std::string string() {
    const auto n = static_cast<std::size_t>(i32());
    if (pos_ + n > b_.size()) throw std::out_of_range("string past the end");
    std::string s(b_.begin() + static_cast<std::ptrdiff_t>(pos_), b_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return s;
  }
  std::optional<std::string> opt_string() {
    if (u8() == 0) return std::nullopt;
    return string();
  }
  std::optional<std::uint64_t> opt_u64() {
    if (u8() == 0) return std::nullopt;
    return u64();
  }
  bool at_end() const { return pos_ == b_.size(); }

 private:
  Bytes b_;
  std::size_t pos_ = 0;
};

// The Deed record, field for field, and its wire form.
struct Deed {
  std::uint8_t v = 1;
  std::string mode = "user-sig";
  std::uint64_t tenant = 7;
  std::string sub = "sub";
  std::string aud = "aud";
  std::string challenge = "c";
  std::uint64_t exp = 99;
  std::optional<std::string> root, proof, pubkey, signature, credential_pubkey, authenticator_data, client_data_json,
      assertion_sig, signer, grants, delegations;

  // The eleven optional fields in wire order.
  std::array<std::optional<std::string>*, 11> optionals() {
    return {&root, &proof, &pubkey, &signature, &credential_pubkey, &authenticator_data, &client_data_json,
            &assertion_sig, &signer, &grants, &delegations};
  }
  bool operator==(const Deed&) const = default;
};

inline Bytes deed_bytes(Deed d) {
  Bytes b;
  put_u8(b, d.v);
  put_string(b, d.mode);
  put_u64(b, d.tenant);
  put_string(b, d.sub);
  put_string(b, d.aud);
  put_string(b, d.challenge);
  put_u64(b, d.exp);
  for (auto* o : d.optionals()) put_opt_string(b, *o);
  return b;
}

inline Deed read_deed(Bytes bytes) {
  Cursor c(std::move(bytes));
  Deed d;
  d.v = c.u8();
  d.mode = c.string();
  d.tenant = c.u64();
  d.sub = c.string();
  d.aud = c.string();
  d.challenge = c.string();
  d.exp = c.u64();
  for (auto* o : d.optionals()) *o = c.opt_string();
  EXPECT_TRUE(c.at_end()) << "trailing bytes after the deed";
  return d;
}

// A zeroed call status that releases whatever error buffer the call left.
struct Status {
  RustCallStatus st{};
  Status() = default;
  Status(const Status&) = delete;
  ~Status() {
    if (st.error_buf.data != nullptr) free_buffer(st.error_buf);
  }
  RustCallStatus* operator&() { return &st; }
  int code() const { return st.code; }
  Bytes error_bytes() const { return Bytes(st.error_buf.data, st.error_buf.data + st.error_buf.len); }
  // The raw message of an internal failure (code 2).
  std::string internal_message() const {
    Bytes b = error_bytes();
    return std::string(b.begin(), b.end());
  }
  // The SdkError of a refusal (code 1): variant index and message.
  std::pair<std::int32_t, std::string> sdk_error() const {
    Cursor c(error_bytes());
    const std::int32_t variant = c.i32();
    std::string message = c.string();
    EXPECT_TRUE(c.at_end()) << "trailing bytes after SdkError";
    return {variant, message};
  }
};

inline constexpr std::int32_t kSdk = 1;
inline constexpr std::int32_t kInsecureOrigin = 2;

// The outcome of a call whose result is text, for table-driven tests.
struct TextOutcome {
  int code = 0;
  std::string value;    // code 0
  std::int32_t variant = 0;  // code 1
  std::string message;  // code 1 and 2
};

template <class Call>
TextOutcome text_outcome(Call&& call) {
  Status st;
  RustBuffer out = call(&st);
  TextOutcome o;
  o.code = st.code();
  if (o.code == 0) {
    o.value = take_text(out);
  } else {
    EXPECT_EQ(out.data, nullptr) << "a failed call must return the zero buffer";
    EXPECT_EQ(out.len, 0u);
    EXPECT_EQ(out.capacity, 0u);
    if (o.code == 1) std::tie(o.variant, o.message) = st.sdk_error();
    else o.message = st.internal_message();
  }
  return o;
}

}  // namespace host
