// Digests used across the protocol: SHA-256 (OpenSSL) and Ethereum's
// Keccak-256 (the original 0x01 padding, not SHA3-256).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "base/codec.hpp"

namespace qsdk::core {

using Digest32 = std::array<std::uint8_t, 32>;

Digest32 sha256(ByteView data);
// Hashes the concatenation of the parts without building it.
Digest32 sha256(std::initializer_list<ByteView> parts);

Digest32 keccak256(ByteView data);
Digest32 keccak256(std::initializer_list<ByteView> parts);

}  // namespace qsdk::core
