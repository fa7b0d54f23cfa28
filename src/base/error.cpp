#include "base/error.hpp"

namespace qsdk::core {

std::string_view CoreError::prefix() const noexcept {
  switch (kind_) {
    case ErrorKind::Jwt: return "jwt: ";
    case ErrorKind::BadKey: return "bad key: ";
    case ErrorKind::Claim: return "claim: ";
    case ErrorKind::Crypto: return "crypto: ";
    case ErrorKind::Input: return "input: ";
    case ErrorKind::InsecureOrigin: return "insecure origin: ";
  }
  return "";
}

std::string CoreError::text() const {
  std::string out(prefix());
  out += detail_;
  return out;
}

}  // namespace qsdk::core
