// The loaded library as a host sees it: symbols found by name, buffers made
// and released through its own buffer functions, call statuses decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ffi/interface.hpp"
#include "quorvel_sdk_uniffi.h"

namespace qsdk::cli {

namespace iface = ffi::iface;

// The library cannot be used: not found, of another contract, or lacking an
// operation. Nothing was called.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a finished call reported.
struct CallOutcome {
  enum class Kind { Ok, Sdk, InsecureOrigin, Internal };
  Kind kind = Kind::Ok;
  std::string message;
};

class Library {
 public:
  // QUORVEL_SDK_UNIFFI_LIB when set; else the library next to this program,
  // then the SONAME through the loader's search path, as any host linked
  // against it would find it.
  static Library open();

  Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();

  // The operation's export, after the checks a generated binding makes at
  // load: contract version 30 and the checksum of the declared signature.
  void* operation(const iface::Op& op) const;

  std::uint32_t contract_version() const;
  // The file the loader mapped, symbolic links resolved.
  std::string path() const;
  // The release, read from the versioned file name (the library exports no
  // version of its own); nullopt when the name carries none.
  std::optional<std::string> version() const;

  RustBuffer buffer(std::string_view bytes) const;
  void release(RustBuffer buf) const;
  // Copies a buffer the library handed out, then releases it.
  std::string take(RustBuffer buf) const;
  // Decodes the status of a call and releases its error buffer.
  CallOutcome outcome(RustCallStatus& status, bool declares_error) const;

 private:
  explicit Library(void* handle) : handle_(handle) {}
  void* symbol(const std::string& name) const;
  void* handle_;
};

// Argument buffers handed to the library are consumed by the call; until the
// call is made, this releases them if anything goes wrong.
class PendingBuffers {
 public:
  explicit PendingBuffers(const Library& lib) : lib_(lib) {}
  PendingBuffers(const PendingBuffers&) = delete;
  PendingBuffers& operator=(const PendingBuffers&) = delete;
  ~PendingBuffers() {
    for (const RustBuffer& b : held_) lib_.release(b);
  }
  RustBuffer add(std::string_view bytes) { return held_.emplace_back(lib_.buffer(bytes)); }
  void consumed() { held_.clear(); }

 private:
  const Library& lib_;
  std::vector<RustBuffer> held_;
};

}  // namespace qsdk::cli
