// The deed: the identity token every signing mode produces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/capability.hpp"

namespace qsdk::core {

inline constexpr std::uint8_t kDeedVersion = 1;

struct Deed {
  std::uint8_t v = kDeedVersion;
  std::string mode;
  std::uint64_t tenant = 0;
  std::string sub;
  std::string aud;
  std::string challenge;
  std::uint64_t exp = 0;
  std::optional<std::string> root;
  std::optional<std::string> proof;
  std::optional<std::string> pubkey;
  std::optional<std::string> signature;
  std::optional<std::string> credential_pubkey;
  std::optional<std::string> authenticator_data;
  std::optional<std::string> client_data_json;
  std::optional<std::string> assertion_sig;
  std::optional<std::string> signer;
  std::optional<std::vector<Grant>> grants;
  std::optional<std::vector<Delegation>> delegations;

  bool operator==(const Deed&) const = default;
};

}  // namespace qsdk::core
