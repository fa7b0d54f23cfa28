#include "wallet.h"

#include <secp256k1.h>
#include <secp256k1_recovery.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void personal_digest(const unsigned char* msg, size_t len, unsigned char digest[32]) {
  char prefix[64];
  int plen = snprintf(prefix, sizeof prefix, "\x19" "Ethereum Signed Message:\n%zu", len);
  unsigned char* buf = malloc((size_t)plen + len + 1);
  if (!buf) exit(2);
  memcpy(buf, prefix, (size_t)plen);
  if (len) memcpy(buf + plen, msg, len);
  demo_keccak256(buf, (size_t)plen + len, digest);
  free(buf);
}

int wallet_personal_sign(const demo_wallet* w, const unsigned char* msg, size_t len, unsigned char sig[65]) {
  unsigned char digest[32];
  secp256k1_ecdsa_recoverable_signature s;
  int recid = 0;
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  personal_digest(msg, len, digest);
  int ok = secp256k1_ecdsa_sign_recoverable(ctx, &s, digest, w->key, NULL, NULL) &&
           secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx, sig, &recid, &s);
  sig[64] = (unsigned char)(27 + recid);
  secp256k1_context_destroy(ctx);
  return ok;
}

void wallet_address(const demo_wallet* w, char out[43]) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  secp256k1_pubkey pub;
  unsigned char point[65], h[32];
  size_t n = sizeof point;
  if (!secp256k1_ec_pubkey_create(ctx, &pub, w->key)) exit(2);
  secp256k1_ec_pubkey_serialize(ctx, point, &n, &pub, SECP256K1_EC_UNCOMPRESSED);
  secp256k1_context_destroy(ctx);
  demo_keccak256(point + 1, 64, h);
  out[0] = '0';
  out[1] = 'x';
  hex_text(h + 12, 20, out + 2);
}

void hex_text(const unsigned char* p, size_t n, char* out) {
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = digits[p[i] >> 4];
    out[2 * i + 1] = digits[p[i] & 15];
  }
  out[2 * n] = 0;
}
