// Grants, caveats and delegation links: plain values whose only external form
// is one canonical JSON text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/json.hpp"

namespace qsdk::core {

struct Caveats {
  std::optional<std::uint64_t> exp;
  std::optional<std::uint64_t> max_uses;
  json::Object nb;  // absent and empty are the same

  bool operator==(const Caveats&) const = default;
};

struct Grant {
  std::string res;
  std::vector<std::string> act;
  Caveats cav;

  bool operator==(const Grant&) const = default;
};

struct Delegation {
  std::string iss;
  std::string to;
  std::vector<Grant> grants;
  std::uint64_t exp = 0;
  std::array<std::uint8_t, 32> epoch_label{};
  std::uint64_t epoch = 0;
  std::string sig;
  std::optional<std::string> pubkey;
  std::optional<std::string> kind;
  std::optional<std::string> proof;
  std::optional<std::string> root;
  std::optional<std::string> salt;

  bool operator==(const Delegation&) const = default;
};

}  // namespace qsdk::core
