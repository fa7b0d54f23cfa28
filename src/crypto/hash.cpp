#include "crypto/hash.hpp"

#include <cryptopp/keccak.h>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace qsdk::core {
namespace {

struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

Digest32 sha256(std::initializer_list<ByteView> parts) {
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) throw std::runtime_error("sha256: init failed");
  for (ByteView p : parts)
    if (EVP_DigestUpdate(ctx.get(), p.data(), p.size()) != 1) throw std::runtime_error("sha256: update failed");
  Digest32 out{};
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(ctx.get(), out.data(), &n) != 1 || n != out.size())
    throw std::runtime_error("sha256: final failed");
  return out;
}

Digest32 sha256(ByteView data) { return sha256({data}); }

Digest32 keccak256(std::initializer_list<ByteView> parts) {
  CryptoPP::Keccak_256 k;
  for (ByteView p : parts) k.Update(p.data(), p.size());
  Digest32 out{};
  k.Final(out.data());
  return out;
}

Digest32 keccak256(ByteView data) { return keccak256({data}); }

}  // namespace qsdk::core
