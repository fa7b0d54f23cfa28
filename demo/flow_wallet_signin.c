/* Wallet sign-in: the wallet signs the root binding twice, the host derives
 * the root seed and an app-scoped key, and mints a user-sig deed; then an
 * administrator's wallet signs the admin binding for an admin-sig deed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"
#include "records.h"
#include "wallet.h"

typedef RustBuffer (*text_fn)(RustBuffer, RustCallStatus*);

static const uint64_t kTenant = 42;
static const char* kAud = "rp.example";
static const char* kChallenge = "c-8f14e45f";
static const uint64_t kExp = 1900000000;

static void print_indented(const char* text) {
  printf("      | ");
  for (const char* p = text; *p; ++p) {
    putchar(*p);
    if (*p == '\n') printf("      | ");
  }
  printf("\n");
}

/* The wallet's personal signature as bare hex (the library takes no "0x" here). */
static void sign_hex(const demo_wallet* w, const char* message, char out[131]) {
  unsigned char sig[65];
  if (!wallet_personal_sign(w, (const unsigned char*)message, strlen(message), sig)) exit(2);
  hex_text(sig, sizeof sig, out);
}

/* The admin binding, built by the host from its published template. */
static char* admin_binding(const char* aud, uint64_t tenant, const char* challenge, uint64_t exp) {
  const char* fmt =
      "%s is requesting administrative access to your Quorvel tenant.\n"
      "\n"
      "Signing this message grants FULL ADMINISTRATIVE ACCESS to the tenant\n"
      "below. Only sign it if you are on %s right now \xE2\x80\x94 signing it on any\n"
      "other site lets that site's operator administer your tenant.\n"
      "\n"
      "Tenant: %llu\n"
      "Challenge: %s\n"
      "Expires (unix seconds): %llu\n"
      "\n"
      "quorvel-sovereign-admin-v1";
  int n = snprintf(NULL, 0, fmt, aud, aud, (unsigned long long)tenant, challenge, (unsigned long long)exp);
  char* s = malloc((size_t)n + 1);
  if (!s) exit(2);
  snprintf(s, (size_t)n + 1, fmt, aud, aud, (unsigned long long)tenant, challenge, (unsigned long long)exp);
  return s;
}

static char* user_signin(const demo_wallet* wallet, const char* origin) {
  text_fn root_binding = sym("uniffi_quorvel_sdk_uniffi_fn_func_user_root_binding");
  RustBuffer (*root_seed)(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_derive_root_seed");
  RustBuffer (*app_key)(RustBuffer, uint64_t, RustBuffer, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_derive_app_key");
  RustCallStatus st = {0};

  RustBuffer prose = root_binding(text(origin), &st);
  if (st.code) return show("user_root_binding", prose, &st), NULL;
  char* binding = take_text(prose);
  printf("  the wallet is asked to sign:\n");
  print_indented(binding);

  char sig1[131], sig2[131];
  sign_hex(wallet, binding, sig1);
  sign_hex(wallet, binding, sig2);
  free(binding);
  printf("  %-34s -> %.16s... (twice, identical: %s)\n", "wallet personal_sign", sig1,
         strcmp(sig1, sig2) == 0 ? "yes" : "no");

  RustBuffer seed_buf = root_seed(text(origin), text(sig1), text(sig2), &st);
  if (st.code) return show("derive_root_seed", seed_buf, &st), NULL;
  char* seed = take_text(seed_buf);
  printf("  %-34s -> %.8s... (32 bytes, kept secret)\n", "derive_root_seed", seed);

  RustBuffer key_buf = app_key(text(seed), kTenant, text(origin), &st);
  free(seed);
  if (st.code) return show("derive_app_key", key_buf, &st), NULL;
  char *secret_key, *pubkey;
  take_app_key(key_buf, &secret_key, &pubkey);
  printf("  %-34s -> pubkey %s\n", "derive_app_key (tenant 42)", pubkey);
  free(pubkey);
  return secret_key;
}

static void mint_user(const char* secret_key, const char* origin) {
  RustBuffer (*mint)(RustBuffer, uint64_t, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_mint_user_deed");
  RustCallStatus st = {0};
  /* The origin is the one the deed policy was fetched from; any spelling of it signs alike. */
  show_deed("mint_user_deed", mint(text(secret_key), kTenant, text(kAud), text(origin), text(kChallenge), kExp, &st),
            &st);
}

static void mint_admin(const demo_wallet* admin) {
  RustBuffer (*mint)(RustBuffer, uint64_t, RustBuffer, RustBuffer, uint64_t, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_mint_admin_deed");
  RustCallStatus st = {0};
  char* binding = admin_binding(kAud, kTenant, kChallenge, kExp);
  char sig[131], address[43];
  sign_hex(admin, binding, sig);
  free(binding);
  wallet_address(admin, address);
  printf("  administrator wallet %s signs the admin binding\n", address);
  show_deed("mint_admin_deed", mint(text(sig), kTenant, text(kAud), text(kChallenge), kExp, &st), &st);
}

static void refusals(void) {
  RustBuffer (*root_seed)(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_derive_root_seed");
  RustBuffer (*mint)(RustBuffer, uint64_t, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_mint_user_deed");
  RustCallStatus st = {0};
  show("a wallet with random nonces",
       root_seed(text("https://wallet.example"), text("1b00"), text("1c00"), &st), &st);
  show("a deed for an origin with a path",
       mint(text("0000000000000000000000000000000000000000000000000000000000000001"), kTenant, text(kAud), text("https://wallet.example/login"), text(kChallenge), kExp, &st), &st);
}

void flow_wallet_signin(void) {
  text_fn normalize = sym("uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin");
  demo_wallet user = {{0}}, admin = {{0}};
  for (int i = 0; i < 32; ++i) {
    user.key[i] = (unsigned char)(0x11 + i);
    admin.key[i] = (unsigned char)(0xa0 + i);
  }
  printf("Wallet sign-in: root seed, app key, user-sig deed; then an admin deed\n");

  RustCallStatus st = {0};
  RustBuffer canonical = normalize(text("https://Wallet.Example:443/"), &st);
  if (st.code) {
    show("normalize_origin", canonical, &st);
    return;
  }
  char* origin = take_text(canonical);
  printf("  %-34s -> %s\n", "normalize_origin", origin);

  char* secret_key = user_signin(&user, origin);
  if (secret_key) {
    mint_user(secret_key, origin);
    memset(secret_key, 0, strlen(secret_key));
    free(secret_key);
  }
  free(origin);
  mint_admin(&admin);
  refusals();
  printf("\n");
}
