// HKDF-SHA-256 (RFC 5869) in its two halves, so that a derivation can
// extract once and expand once per attempt. Outputs are secrets.
#pragma once

#include <cstddef>

#include "base/codec.hpp"
#include "base/secret.hpp"

namespace qsdk::core {

// PRK = HMAC-SHA-256(salt, ikm); an empty salt stands for 32 zero bytes.
SecretBytes hkdf_sha256_extract(ByteView salt, ByteView ikm);

// The first `length` bytes of HKDF-Expand(prk, info); length <= 8160.
SecretBytes hkdf_sha256_expand(ByteView prk, ByteView info, std::size_t length);

}  // namespace qsdk::core
