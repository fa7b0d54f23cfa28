// The one error type of the protocol logic: a class plus a detail text.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

namespace qsdk::core {

// Declaration order is part of the contract: callers switch on it and the
// boundary maps InsecureOrigin apart from every other kind.
enum class ErrorKind { Jwt, BadKey, Claim, Crypto, Input, InsecureOrigin };

class CoreError {
 public:
  CoreError(ErrorKind kind, std::string detail) : kind_(kind), detail_(std::move(detail)) {}

  static CoreError jwt(std::string d) { return {ErrorKind::Jwt, std::move(d)}; }
  static CoreError bad_key(std::string d) { return {ErrorKind::BadKey, std::move(d)}; }
  static CoreError claim(std::string d) { return {ErrorKind::Claim, std::move(d)}; }
  static CoreError crypto(std::string d) { return {ErrorKind::Crypto, std::move(d)}; }
  static CoreError input(std::string d) { return {ErrorKind::Input, std::move(d)}; }
  static CoreError insecure_origin(std::string d) { return {ErrorKind::InsecureOrigin, std::move(d)}; }

  ErrorKind kind() const noexcept { return kind_; }
  const std::string& detail() const noexcept { return detail_; }
  std::string_view prefix() const noexcept;
  // Prefix followed by detail: the form every caller but the origin policy sees.
  std::string text() const;

  bool operator==(const CoreError&) const = default;

 private:
  ErrorKind kind_;
  std::string detail_;
};

template <class T>
using Result = std::expected<T, CoreError>;

// Shorthand for the error arm, so call sites read `return fail(CoreError::input(...))`.
inline std::unexpected<CoreError> fail(CoreError e) { return std::unexpected<CoreError>(std::move(e)); }

// The fixed detail every secp256k1 primitive failure carries: callers must not
// learn which internal check refused.
inline constexpr std::string_view kSignatureError = "signature error";

}  // namespace qsdk::core
