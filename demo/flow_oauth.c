/* OAuth authorisation code with PKCE, then the returned ES256 token checked
 * against the issuer's key set at the host's clock. The issuer's side (its
 * P-256 keys and the token it signs) is played here with OpenSSL, as a test
 * issuer would. */
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"
#include "records.h"

#define ISSUER "https://auth.quorvel.example"
#define CLIENT_ID "demo-client"
#define NONCE "n-0S6_WzA2Mj"
#define ISSUED_AT 1767225600u /* the host's clock when the token was issued */
#define LIFETIME 600u
#define KEYS 3
#define SIGNER 1 /* which of the issuer's keys signs */

/* --- Reading nested values out of a returned record ----------------------- */

static void print_string(wire_cursor* r, const char* name) {
  char* s = wire_read_string(r);
  printf("      %-6s %s\n", name, s);
  free(s);
}


static void print_claims(RustBuffer claims) {
  wire_cursor r = wire_cursor_of(claims);
  print_string(&r, "iss");
  print_string(&r, "sub");
  print_string(&r, "aud");
  printf("      %-6s %" PRIu64 "\n", "exp", wire_read_be(&r, 8));
  printf("      %-6s %" PRIu64 "\n", "iat", wire_read_be(&r, 8));
  if (wire_read_be(&r, 1)) printf("      %-6s %" PRIu64 "\n", "tid", wire_read_be(&r, 8));
  if (wire_read_be(&r, 1)) print_string(&r, "nonce");
  release(claims);
}

/* --- The issuer's side: keys, key set, signed token ----------------------- */

/* Unpadded base64url, as JOSE writes it. */
static char* b64url(const uint8_t* p, size_t n) {
  char* s = malloc(4 * ((n + 2) / 3) + 1);
  if (!s) exit(2);
  int len = EVP_EncodeBlock((unsigned char*)s, p, (int)n);
  while (len > 0 && s[len - 1] == '=') --len;
  s[len] = 0;
  for (char* c = s; *c; ++c) *c = *c == '+' ? '-' : *c == '/' ? '_' : *c;
  return s;
}

static char* b64url_text(const char* s) { return b64url((const uint8_t*)s, strlen(s)); }

/* The key's public JWK, without "kid": the key set names keys by thumbprint. */
static char* public_jwk(EVP_PKEY* key) {
  uint8_t point[65];
  size_t n = 0;
  if (!EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &n) || n != 65) exit(4);
  char* x = b64url(point + 1, 32);
  char* y = b64url(point + 33, 32);
  char* jwk = malloc(160);
  if (!jwk) exit(2);
  snprintf(jwk, 160, "{\"kty\":\"EC\",\"crv\":\"P-256\",\"x\":\"%s\",\"y\":\"%s\",\"use\":\"sig\"}", x, y);
  free(x);
  free(y);
  return jwk;
}

/* ES256 over the signing input: the DER signature becomes r ‖ s. */
static char* es256(EVP_PKEY* key, const char* signing_input) {
  uint8_t der[80], rs[64];
  size_t der_len = sizeof der;
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  if (!md || EVP_DigestSignInit(md, NULL, EVP_sha256(), NULL, key) != 1 ||
      EVP_DigestSign(md, der, &der_len, (const uint8_t*)signing_input, strlen(signing_input)) != 1)
    exit(4);
  EVP_MD_CTX_free(md);
  const uint8_t* q = der;
  ECDSA_SIG* sig = d2i_ECDSA_SIG(NULL, &q, (long)der_len);
  if (!sig || BN_bn2binpad(ECDSA_SIG_get0_r(sig), rs, 32) != 32 || BN_bn2binpad(ECDSA_SIG_get0_s(sig), rs + 32, 32) != 32)
    exit(4);
  ECDSA_SIG_free(sig);
  return b64url(rs, sizeof rs);
}

static char* signed_token(EVP_PKEY* key, const char* kid) {
  char header[160], payload[320];
  snprintf(header, sizeof header, "{\"alg\":\"ES256\",\"typ\":\"JWT\",\"kid\":\"%s\"}", kid);
  snprintf(payload, sizeof payload,
           "{\"iss\":\"" ISSUER "\",\"sub\":\"user-7f3a\",\"aud\":\"" CLIENT_ID "\",\"exp\":%u,\"iat\":%u,"
           "\"tid\":42,\"nonce\":\"" NONCE "\"}",
           ISSUED_AT + LIFETIME, ISSUED_AT);
  char* h = b64url_text(header);
  char* p = b64url_text(payload);
  size_t input_len = strlen(h) + 1 + strlen(p);
  char* token = malloc(input_len + 1 + 87);
  if (!token) exit(2);
  sprintf(token, "%s.%s", h, p);
  char* s = es256(key, token);
  sprintf(token + input_len, ".%s", s);
  free(h);
  free(p);
  free(s);
  return token;
}

/* --- The flow ------------------------------------------------------------- */

static char* pkce_step(void) {
  RustBuffer (*generate)(RustCallStatus*) = sym("uniffi_quorvel_sdk_uniffi_fn_func_generate_pkce");
  RustCallStatus st = {0};
  RustBuffer pkce = generate(&st);
  if (st.code != 0) return show("generate_pkce", pkce, &st), NULL;
  wire_cursor r = wire_cursor_of(pkce);
  char* verifier = wire_read_string(&r);
  char* challenge = wire_read_string(&r);
  release(pkce);
  printf("  %-34s -> verifier %s\n  %-34s    challenge %s\n", "generate_pkce", verifier, "", challenge);
  free(verifier);
  return challenge;
}

static void authorize_url_step(const char* challenge) {
  RustBuffer (*build)(RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_build_authorize_url");
  RustCallStatus st = {0};
  RustBuffer url = build(text(ISSUER), text(CLIENT_ID), text("https://app.example/callback"), text("st-91c2"),
                         text(NONCE), text(challenge), &st);
  show("build_authorize_url", url, &st);
}

static char* key_id(const char* jwk) {
  RustBuffer (*issuer_key_id)(RustBuffer, RustCallStatus*) = sym("uniffi_quorvel_sdk_uniffi_fn_func_issuer_key_id");
  RustCallStatus st = {0};
  RustBuffer out = issuer_key_id(text(jwk), &st);
  if (st.code != 0) return show("issuer_key_id", out, &st), NULL;
  return take_text(out);
}

static void verify_at(const char* what, const char* token, const char* jwks, uint64_t now) {
  RustBuffer (*verify)(RustBuffer, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_verify_token_at");
  RustCallStatus st = {0};
  RustBuffer claims = verify(text(token), text(jwks), text(ISSUER), text(CLIENT_ID), now, &st);
  if (st.code != 0) {
    show(what, claims, &st);
    return;
  }
  printf("  %-34s -> Claims\n", what);
  print_claims(claims);
}

void flow_oauth(void) {
  printf("OAuth: PKCE, authorisation URL, ES256 token verified against the issuer's key set\n");
  char* challenge = pkce_step();
  if (challenge) authorize_url_step(challenge);
  free(challenge);

  EVP_PKEY* keys[KEYS];
  char* jwks = malloc(KEYS * 160 + 16);
  if (!jwks) exit(2);
  strcpy(jwks, "{\"keys\":[");
  char* signer_kid = NULL;
  for (int i = 0; i < KEYS; ++i) {
    keys[i] = EVP_EC_gen("P-256");
    if (!keys[i]) exit(4);
    char* jwk = public_jwk(keys[i]);
    if (i == SIGNER) signer_kid = key_id(jwk);
    strcat(strcat(jwks, i ? "," : ""), jwk);
    free(jwk);
  }
  strcat(jwks, "]}");
  if (signer_kid) {
    printf("  %-34s -> %s (key %d of %d)\n", "issuer_key_id of the signing key", signer_kid, SIGNER + 1, KEYS);
    char* token = signed_token(keys[SIGNER], signer_kid);
    verify_at("verify_token_at, now = exp + 60", token, jwks, ISSUED_AT + LIFETIME + 60);
    verify_at("verify_token_at, now = exp + 61", token, jwks, ISSUED_AT + LIFETIME + 61);
    free(token);
  }
  free(signer_kid);
  free(jwks);
  for (int i = 0; i < KEYS; ++i) EVP_PKEY_free(keys[i]);
  printf("\n");
}
