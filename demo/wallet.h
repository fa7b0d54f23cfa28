/* A stand-in Ethereum wallet for the demo host: its own secp256k1 key and
 * EIP-191 personal sign, done on the host side exactly as a browser wallet
 * would, so that only signatures ever reach the library. */
#ifndef QSDK_DEMO_WALLET_H
#define QSDK_DEMO_WALLET_H

#include <stddef.h>

typedef struct {
  unsigned char key[32];
} demo_wallet;

/* r || s || 27 + recovery id over Keccak-256("\x19Ethereum Signed Message:\n" len message).
 * Returns 1 on success. */
int wallet_personal_sign(const demo_wallet* w, const unsigned char* msg, size_t len, unsigned char sig[65]);
/* "0x" and 40 lower-case hex digits, NUL-terminated. */
void wallet_address(const demo_wallet* w, char out[43]);
/* Lower-case hex of n bytes into out (2n + 1 bytes with the NUL). */
void hex_text(const unsigned char* p, size_t n, char* out);

/* Ethereum's Keccak-256 (Crypto++; C has no binding of its own). */
void demo_keccak256(const unsigned char* data, size_t len, unsigned char out[32]);

#endif
