/* Checking an origin vouch: a tenant administrator signs the vouch prose; a
 * holder recovers the signer from the origin it observed itself, builds the
 * registry call for that address, and decodes the registry's answer. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"
#include "wallet.h"

static const uint64_t kTenant = 42;
static const char* kAud = "rp.example";
static const uint64_t kEpoch = 3;
static const uint64_t kExp = 1900000000;

typedef RustBuffer (*binding_fn)(uint64_t, RustBuffer, RustBuffer, uint64_t, uint64_t, int8_t, RustCallStatus*);
typedef RustBuffer (*signer_fn)(uint64_t, RustBuffer, RustBuffer, uint64_t, uint64_t, RustBuffer, RustCallStatus*);
typedef RustBuffer (*calldata_fn)(uint64_t, RustBuffer, uint64_t, RustCallStatus*);
typedef int8_t (*decode_fn)(RustBuffer, RustCallStatus*);

/* The administrator's wallet signs the prose; only the signature leaves it. */
static char* administrator_signs(const demo_wallet* admin, const char* origin) {
  binding_fn binding = sym("uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_binding");
  RustCallStatus st = {0};
  RustBuffer prose_buf = binding(kTenant, text(kAud), text(origin), kEpoch, kExp, 0, &st);
  if (st.code) return show("origin_vouch_binding", prose_buf, &st), NULL;
  char* prose = take_text(prose_buf);
  printf("  the administrator's wallet shows:\n");
  for (char* line = strtok(prose, "\n"); line; line = strtok(NULL, "\n")) printf("      | %s\n", line);
  free(prose);

  /* strtok consumed the text; build it again to sign exactly what was shown. */
  prose = take_text(binding(kTenant, text(kAud), text(origin), kEpoch, kExp, 0, &st));
  unsigned char sig[65];
  char* sig_hex = malloc(131);
  if (!sig_hex || !wallet_personal_sign(admin, (const unsigned char*)prose, strlen(prose), sig)) exit(2);
  hex_text(sig, sizeof sig, sig_hex);
  free(prose);
  return sig_hex;
}

/* Prints a byte-array result as hex, 32 bytes a line after the selector. */
static void show_calldata(RustBuffer out) {
  const uint8_t* p = out.data + 4; /* skip the i32 element count */
  size_t n = out.len - 4;
  char line[65];
  hex_text(p, 4, line);
  printf("  %-34s -> selector %s\n", "is_origin_voucher_calldata", line);
  for (size_t off = 4; off + 32 <= n; off += 32) {
    hex_text(p + off, 32, line);
    printf("  %34s    %s\n", "", line);
  }
  release(out);
}

static void decode(const char* what, const uint8_t* word, size_t n) {
  decode_fn fn = sym("uniffi_quorvel_sdk_uniffi_fn_func_decode_bool_return");
  uint8_t arg[4 + 64];
  arg[0] = 0, arg[1] = 0, arg[2] = 0, arg[3] = (uint8_t)n;
  memcpy(arg + 4, word, n);
  RustCallStatus st = {0};
  int8_t v = fn(bytes_arg(arg, 4 + n), &st);
  if (st.code == 0) {
    printf("  %-34s -> %s\n", what, v ? "true" : "false");
  } else {
    show(what, (RustBuffer){0, 0, NULL}, &st);
  }
}

void flow_origin_vouch(void) {
  signer_fn signer = sym("uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_signer");
  calldata_fn calldata = sym("uniffi_quorvel_sdk_uniffi_fn_func_is_origin_voucher_calldata");
  uint64_t (*max_ttl)(RustCallStatus*) = sym("uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_max_ttl_secs");
  binding_fn binding = sym("uniffi_quorvel_sdk_uniffi_fn_func_origin_vouch_binding");
  const char* origin = "https://shop.example";
  demo_wallet admin = {{0}};
  for (int i = 0; i < 32; ++i) admin.key[i] = (unsigned char)(0xa0 + i);
  char admin_address[43];
  wallet_address(&admin, admin_address);

  printf("Origin vouch: administrator %s vouches for %s\n", admin_address, origin);
  RustCallStatus st = {0};
  show("vouch for http://localhost:3000", binding(kTenant, text(kAud), text("http://localhost:3000"), kEpoch, kExp, 0, &st),
       &st);
  char* sig = administrator_signs(&admin, origin);
  if (!sig) return;

  /* The holder passes the origin it observed, never the one the document claims. */
  RustBuffer who = signer(kTenant, text(kAud), text(origin), kEpoch, kExp, text(sig), &st);
  if (st.code) {
    free(sig);
    show("origin_vouch_signer", who, &st);
    return;
  }
  char* recovered = take_text(who);
  printf("  %-34s -> %s (%s)\n", "origin_vouch_signer", recovered,
         strcmp(recovered, admin_address) == 0 ? "the administrator" : "someone else");
  show("signer seen from another origin",
       signer(kTenant, text(kAud), text("https://evil.example"), kEpoch, kExp, text(sig), &st), &st);
  free(sig);

  RustBuffer data = calldata(kTenant, text(recovered), kEpoch, &st);
  free(recovered);
  if (st.code) {
    show("is_origin_voucher_calldata", data, &st);
    return;
  }
  show_calldata(data);

  uint8_t word[32] = {0};
  word[31] = 1;
  decode("registry answers ...01", word, 32);
  word[31] = 0;
  decode("registry answers ...00", word, 32);
  decode("registry answers nothing", word, 0);
  printf("  %-34s -> %llu seconds\n", "origin_vouch_max_ttl_secs", (unsigned long long)max_ttl(&st));
  printf("\n");
}
