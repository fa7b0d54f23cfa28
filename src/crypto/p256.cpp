// OpenSSL 3 offers P-256 verification through EVP_PKEY too, but importing a
// key that way builds a curve group of its own, and the explicit point checks
// below need one as well: two groups per key, each costing about a fifth of a
// verification. The EC_KEY interface lets a single group serve both; it is
// deprecated in 3.0 but still supported, so its deprecation warnings are
// silenced in this file only.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "crypto/p256.hpp"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace qsdk::core::p256 {
namespace {

struct Free {
  void operator()(EC_KEY* p) const { EC_KEY_free(p); }
  void operator()(EC_POINT* p) const { EC_POINT_free(p); }
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

template <class T>
Owned<T> owned(T* p, const char* what) {
  if (p == nullptr) throw std::runtime_error(std::string("p256: ") + what + " failed");
  return Owned<T>(p);
}

Owned<BIGNUM> big_endian(ByteView bytes) {
  return owned(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr), "BN_bin2bn");
}

// A refusal leaves entries on the thread's OpenSSL error queue; drop them so
// no later call on this thread sees a stale reason.
template <class T>
T refused(T value) {
  ERR_clear_error();
  return value;
}

bool in_signature_range(const BIGNUM* v, const BIGNUM* order) { return !BN_is_zero(v) && BN_cmp(v, order) < 0; }

}  // namespace

struct PublicKey::Impl {
  Owned<EC_KEY> key;
};

PublicKey::PublicKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PublicKey::PublicKey(PublicKey&&) noexcept = default;
PublicKey& PublicKey::operator=(PublicKey&&) noexcept = default;
PublicKey::~PublicKey() = default;

std::optional<PublicKey> PublicKey::from_affine(ByteView x, ByteView y) {
  if (x.size() != kCoordinateSize || y.size() != kCoordinateSize) return std::nullopt;
  auto key = owned(EC_KEY_new_by_curve_name(NID_X9_62_prime256v1), "EC_KEY_new_by_curve_name");
  const EC_GROUP* group = EC_KEY_get0_group(key.get());
  const BIGNUM* prime = EC_GROUP_get0_field(group);
  auto bx = big_endian(x);
  auto by = big_endian(y);
  if (BN_cmp(bx.get(), prime) >= 0 || BN_cmp(by.get(), prime) >= 0) return std::nullopt;

  auto point = owned(EC_POINT_new(group), "EC_POINT_new");
  if (EC_POINT_set_affine_coordinates(group, point.get(), bx.get(), by.get(), nullptr) != 1)
    return refused(std::nullopt);
  if (EC_POINT_is_on_curve(group, point.get(), nullptr) != 1) return refused(std::nullopt);
  if (EC_KEY_set_public_key(key.get(), point.get()) != 1) return refused(std::nullopt);
  return PublicKey(std::make_unique<Impl>(Impl{std::move(key)}));
}

Verdict PublicKey::verify(ByteView signature, const Digest32& digest) const {
  if (signature.size() != kSignatureSize) return Verdict::Malformed;
  auto r = big_endian(signature.first(kSignatureSize / 2));
  auto s = big_endian(signature.last(kSignatureSize / 2));
  const BIGNUM* order = EC_GROUP_get0_order(EC_KEY_get0_group(impl_->key.get()));
  if (!in_signature_range(r.get(), order) || !in_signature_range(s.get(), order)) return Verdict::Malformed;

  auto sig = owned(ECDSA_SIG_new(), "ECDSA_SIG_new");
  if (ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) throw std::runtime_error("p256: ECDSA_SIG_set0 failed");
  (void)r.release();  // now owned by sig
  (void)s.release();
  // OpenSSL reports -1 rather than 0 when u1·G + u2·Q is the point at
  // infinity, which a crafted signature can reach: that is a mismatch too.
  if (ECDSA_do_verify(digest.data(), static_cast<int>(digest.size()), sig.get(), impl_->key.get()) == 1)
    return Verdict::Valid;
  return refused(Verdict::Mismatch);
}

}  // namespace qsdk::core::p256
