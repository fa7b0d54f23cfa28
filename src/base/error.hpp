// The one error type of the protocol logic: a class plus a detail text.
//
// A refusal is a value, never an exception: every fallible operation returns
// Result<T>, and a refusal is raised or passed on with std::unexpected, the
// one spelling used for every error type in the library (CoreError here, the
// codecs' message texts, the URL parser's UrlError, the boundary's SdkError):
//
//   Result<Address> signer_of(ByteView message, ByteView signature) {
//     if (signature.size() != 65) return std::unexpected(CoreError::input("signature must be 65 bytes"));
//     auto key = recover_signer_key(eip191_hash(message), signature);
//     if (!key) return std::unexpected(key.error());  // passed on unchanged
//     return eth_address(*key);
//   }
//
// Exceptions are kept for faults of the library itself, which the boundary
// catches once and reports as internal failures.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

namespace qsdk::core {

// One kind per failure class, each with its fixed message prefix (prefix()).
// The boundary maps InsecureOrigin apart from every other kind.
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

// The fixed detail every secp256k1 primitive failure carries: callers must not
// learn which internal check refused.
inline constexpr std::string_view kSignatureError = "signature error";

}  // namespace qsdk::core
