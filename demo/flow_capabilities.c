/* Flow 2: a capability chain. The host holds secp256k1 keys for three
 * principals: the user (whose app key made a user-sig deed), agent A and
 * agent B. The user delegates calendar access to agent A, agent A passes a
 * narrower grant to agent B, and the chain is attached to the user's deed.
 *
 * Each delegator signs its link binding the way the user-sig deed itself is
 * signed: ECDSA over SHA-256 of the binding bytes, 64-byte r || s, with the
 * signer's compressed public key carried in the link's `pubkey` (a compact
 * signature has no recovery id). Only the user's app key, which the wallet
 * sign-in derived, is handed to the library, to mint the base deed. */
#include <openssl/crypto.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"
#include "records.h"
#include "wallet.h"

typedef RustBuffer (*TextFn)(RustBuffer, RustCallStatus*);
typedef RustBuffer (*BindingFn)(uint64_t, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustBuffer, uint64_t,
                                RustBuffer, RustCallStatus*);
typedef RustBuffer (*DelegateFn)(uint64_t, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustBuffer, uint64_t,
                                 RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);
typedef RustBuffer (*MintFn)(RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);

enum { kTenant = 42 };
static const char* kEpochLabel = "5d1a8c3f0b9e47d2a6c4e8f1b3d5a7c9e2f4a6b8c0d2e4f6a8b0c2d4e6f8a0b2";
static const uint64_t kEpoch = 3;

/* ------------------------------------------------------------------------ */
/* Small helpers: hex, growable byte strings, a host-held key. */

typedef struct {
  uint8_t* data;
  size_t len, cap;
} Buf;

static void buf_put(Buf* b, const void* p, size_t n) {
  if (b->len + n > b->cap) {
    b->cap = (b->len + n) * 2 + 16;
    b->data = realloc(b->data, b->cap);
    if (!b->data) exit(2);
  }
  if (n) memcpy(b->data + b->len, p, n);
  b->len += n;
}
static void buf_u8(Buf* b, uint8_t v) { buf_put(b, &v, 1); }
static void buf_be(Buf* b, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) buf_u8(b, (uint8_t)(v >> (8 * i)));
}
static void buf_string(Buf* b, const char* s) { /* nested String: i32 length, bytes */
  buf_be(b, strlen(s), 4);
  buf_put(b, s, strlen(s));
}
static void buf_opt_string(Buf* b, const char* s) {
  buf_u8(b, s ? 1 : 0);
  if (s) buf_string(b, s);
}

static int hex_nibble(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c - 'A' + 10;
}
static size_t from_hex(const char* hex, uint8_t* out) {
  size_t n = strlen(hex) / 2;
  for (size_t i = 0; i < n; ++i) out[i] = (uint8_t)(hex_nibble(hex[2 * i]) << 4 | hex_nibble(hex[2 * i + 1]));
  return n;
}

typedef struct {
  uint8_t secret[32];
  char pubkey_hex[67]; /* compressed SEC 1 */
} Key;

static void make_key(secp256k1_context* ctx, const char* label, Key* k) {
  secp256k1_pubkey pk;
  uint8_t compressed[33];
  size_t len = sizeof compressed;
  SHA256((const uint8_t*)label, strlen(label), k->secret);
  if (!secp256k1_ec_seckey_verify(ctx, k->secret) || !secp256k1_ec_pubkey_create(ctx, &pk, k->secret)) exit(2);
  secp256k1_ec_pubkey_serialize(ctx, compressed, &len, &pk, SECP256K1_EC_COMPRESSED);
  hex_text(compressed, sizeof compressed, k->pubkey_hex);
}

/* ECDSA over SHA-256 of `msg` (RFC 6979 nonce, low s), as 128 hex digits. */
static void sign_sha256(secp256k1_context* ctx, const Key* k, const uint8_t* msg, size_t n, char out[129]) {
  uint8_t digest[32], compact[64];
  secp256k1_ecdsa_signature sig;
  SHA256(msg, n, digest);
  if (!secp256k1_ecdsa_sign(ctx, &sig, digest, k->secret, NULL, NULL)) exit(2);
  secp256k1_ecdsa_signature_serialize_compact(ctx, compact, &sig);
  hex_text(compact, sizeof compact, out);
}

/* Runs a text-returning call's outcome: the text on success, NULL (after
 * printing the refusal) otherwise. */
static char* text_or_report(const char* what, RustBuffer out, RustCallStatus* st) {
  if (st->code == 0) return take_text(out);
  show(what, out, st);
  return NULL;
}

static void show_long(const char* what, const char* value) {
  size_t n = strlen(value);
  if (n <= 72) printf("  %-34s -> %s\n", what, value);
  else printf("  %-34s -> %.40s...%s (%zu chars)\n", what, value, value + n - 16, n);
}

/* ------------------------------------------------------------------------ */
/* The base deed: the library mints a user-sig deed with the user's app key. */

static RustBuffer user_sig_deed(const Key* app, char sub[65]) {
  RustBuffer (*mint)(RustBuffer, uint64_t, RustBuffer, RustBuffer, RustBuffer, uint64_t, RustCallStatus*) =
      sym("uniffi_quorvel_sdk_uniffi_fn_func_mint_user_deed");
  char secret_hex[65];
  RustCallStatus st = {0};
  hex_text(app->secret, sizeof app->secret, secret_hex);
  RustBuffer deed = mint(text(secret_hex), kTenant, text("calendar.example"), text("https://app.example"),
                         text("rp-challenge-7f3a"), 1900000000, &st);
  OPENSSL_cleanse(secret_hex, sizeof secret_hex);
  if (st.code != 0) {
    show("mint_user_deed", deed, &st);
    exit(2);
  }
  wire_cursor c = wire_cursor_of(deed);
  wire_read_be(&c, 1);
  free(wire_read_string(&c)); /* mode */
  wire_read_be(&c, 8);
  char* s = wire_read_string(&c);
  snprintf(sub, 65, "%s", s);
  free(s);
  return deed;
}

/* ------------------------------------------------------------------------ */
/* One link: the library returns the binding, the delegator signs it, the
 * library assembles the link. */

static char* make_link(secp256k1_context* ctx, const Key* signer, const char* iss, const char* to,
                       const char* grants, uint64_t exp, const char* parent_ref, const char* label) {
  BindingFn binding_fn = (BindingFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_delegation_binding");
  DelegateFn delegate_fn = (DelegateFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_delegate");
  RustCallStatus st = {0};
  char what[64], signature[129];
  Buf pubkey = {0};

  char* binding_hex = text_or_report(
      "delegation_binding",
      binding_fn(kTenant, text(iss), text(to), text(grants), exp, text(kEpochLabel), kEpoch, text(parent_ref), &st),
      &st);
  if (!binding_hex) return NULL;
  snprintf(what, sizeof what, "%s binding", label);
  show_long(what, binding_hex);

  uint8_t* binding = malloc(strlen(binding_hex) / 2 + 1);
  if (!binding) exit(2);
  size_t n = from_hex(binding_hex, binding);
  sign_sha256(ctx, signer, binding, n, signature);
  free(binding);
  free(binding_hex);

  buf_opt_string(&pubkey, signer->pubkey_hex);
  char* link = text_or_report("delegate",
                              delegate_fn(kTenant, text(iss), text(to), text(grants), exp, text(kEpochLabel), kEpoch,
                                          text(parent_ref), bytes_arg(pubkey.data, pubkey.len), text(signature), &st),
                              &st);
  free(pubkey.data);
  if (link) {
    snprintf(what, sizeof what, "%s (delegate)", label);
    show_long(what, link);
  }
  return link;
}

/* ------------------------------------------------------------------------ */
/* Printing the returned deed as indented JSON. */


static void json_string(Buf* out, const char* s) {
  buf_u8(out, '"');
  for (; *s; ++s) {
    unsigned char c = (unsigned char)*s;
    if (c == '"' || c == '\\') {
      buf_u8(out, '\\');
      buf_u8(out, c);
    } else if (c < 0x20) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      buf_put(out, esc, 6);
    } else {
      buf_u8(out, c);
    }
  }
  buf_u8(out, '"');
}

static void json_member(Buf* out, const char* name, const char* raw_value, int quoted, int* first) {
  if (!*first) buf_u8(out, ',');
  *first = 0;
  json_string(out, name);
  buf_u8(out, ':');
  if (quoted) json_string(out, raw_value);
  else buf_put(out, raw_value, strlen(raw_value));
}

/* The deed record as one JSON object; grants and delegations are already
 * JSON, so they are embedded as values rather than as strings. */
static void deed_json(wire_cursor* r, Buf* out) {
  static const char* optional_names[] = {"root", "proof", "pubkey", "signature", "credential_pubkey",
                                         "authenticator_data", "client_data_json", "assertion_sig", "signer",
                                         "grants", "delegations"};
  char number[24];
  int first = 1;
  buf_u8(out, '{');
  snprintf(number, sizeof number, "%u", (unsigned)wire_read_be(r, 1));
  json_member(out, "v", number, 0, &first);
  const char* text_fields[] = {"mode", "tenant", "sub", "aud", "challenge", "exp"};
  for (int i = 0; i < 6; ++i) {
    if (i == 1 || i == 5) {
      snprintf(number, sizeof number, "%llu", (unsigned long long)wire_read_be(r, 8));
      json_member(out, text_fields[i], number, 0, &first);
      continue;
    }
    char* s = wire_read_string(r);
    json_member(out, text_fields[i], s, 1, &first);
    free(s);
  }
  for (int i = 0; i < 11; ++i) {
    if (wire_read_be(r, 1) == 0) continue;
    char* s = wire_read_string(r);
    json_member(out, optional_names[i], s, i < 9, &first);
    free(s);
  }
  buf_u8(out, '}');
  buf_u8(out, 0);
}

static void newline(int depth) {
  putchar('\n');
  for (int i = 0; i < depth + 1; ++i) fputs("  ", stdout);
}

static void print_pretty(const char* json) {
  int depth = 0, in_string = 0, escaped = 0;
  fputs("  ", stdout);
  for (const char* p = json; *p; ++p) {
    char c = *p;
    if (in_string) {
      putchar(c);
      if (escaped) escaped = 0;
      else if (c == '\\') escaped = 1;
      else if (c == '"') in_string = 0;
      continue;
    }
    switch (c) {
      case '"': in_string = 1; putchar(c); break;
      case '{':
      case '[':
        putchar(c);
        if (p[1] == (c == '{' ? '}' : ']')) putchar(*++p);
        else newline(++depth);
        break;
      case '}':
      case ']': newline(--depth); putchar(c); break;
      case ',': putchar(c); newline(depth); break;
      case ':': fputs(": ", stdout); break;
      default: putchar(c);
    }
  }
  putchar('\n');
}

/* ------------------------------------------------------------------------ */

void flow_capabilities(void) {
  TextFn root_ref_fn = (TextFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_root");
  TextFn link_ref_fn = (TextFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_parent_ref_hash_link");
  MintFn mint_fn = (MintFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_mint_capability_deed");
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  RustCallStatus st = {0};
  Key user, agent_a, agent_b;
  Buf pretty = {0};
  char sub[65], to_a[80], to_b[80];
  char *root_ref = NULL, *link1 = NULL, *link2_ref = NULL, *link2 = NULL;

  printf("Capabilities: a two-link delegation chain attached to a user-sig deed\n");
  make_key(ctx, "demo: user app key", &user);
  make_key(ctx, "demo: agent A", &agent_a);
  make_key(ctx, "demo: agent B", &agent_b);
  snprintf(to_a, sizeof to_a, "secp256k1:%s", agent_a.pubkey_hex);
  snprintf(to_b, sizeof to_b, "secp256k1:%s", agent_b.pubkey_hex);
  RustBuffer base_deed = user_sig_deed(&user, sub);
  show_long("mint_user_deed -> sub", sub);

  root_ref = text_or_report("parent_ref_hash_root", root_ref_fn(text(sub), &st), &st);
  if (!root_ref) goto done;
  show_long("parent_ref_hash_root(sub)", root_ref);

  /* The grants may be spelled any way; the binding embeds their canonical form. */
  link1 = make_link(ctx, &user, sub, to_a,
                    "[ { \"res\": \"calendar:team\", \"act\": [\"read\", \"write\"],"
                    "    \"cav\": { \"nb\": { \"scope\": \"work\", \"rate\": 1.50 }, \"max_uses\": 100 } } ]",
                    1893456000, root_ref, "link 1 (user -> A)");
  if (!link1) goto done;
  link2_ref = text_or_report("parent_ref_hash_link", link_ref_fn(text(link1), &st), &st);
  if (!link2_ref) goto done;
  show_long("parent_ref_hash_link(link 1)", link2_ref);
  link2 = make_link(ctx, &agent_a, to_a, to_b,
                    "[{\"res\":\"calendar:team\",\"act\":[\"read\"],\"cav\":{\"exp\":1800000000}}]", 1800000000,
                    link2_ref, "link 2 (A -> B)");
  if (!link2) goto done;

  /* The deed carries the grants its holder exercises and the chain behind them. */
  {
    size_t n = strlen(link1) + strlen(link2) + 8;
    char* chain = malloc(n);
    if (!chain) exit(2);
    snprintf(chain, n, "[%s,\n %s]", link1, link2);
    RustBuffer deed = mint_fn(base_deed,
                              text("[{\"res\":\"calendar:team\",\"act\":[\"read\"],\"cav\":{\"exp\":1800000000}}]"),
                              text(chain), &st);
    free(chain);
    base_deed.data = NULL; /* consumed by the call */
    if (st.code != 0) {
      show("mint_capability_deed", deed, &st);
      goto done;
    }
    wire_cursor r = wire_cursor_of(deed);
    deed_json(&r, &pretty);
    release(deed);
    printf("  mint_capability_deed ->\n");
    print_pretty((const char*)pretty.data);
  }

  /* Refusals name the fault and where it is. */
  show("parent_ref_hash_link(bad JSON)", link_ref_fn(text("{\"iss\":\"a\",\n \"to\":7}"), &st), &st);
  {
    BindingFn binding_fn = (BindingFn)sym("uniffi_quorvel_sdk_uniffi_fn_func_delegation_binding");
    show("delegation_binding(31-byte label)",
         binding_fn(kTenant, text(sub), text(to_a), text("[]"), 0, text(kEpochLabel + 2), kEpoch, text(root_ref), &st),
         &st);
  }

done:
  if (base_deed.data) release(base_deed);
  free(root_ref);
  free(link1);
  free(link2_ref);
  free(link2);
  free(pretty.data);
  OPENSSL_cleanse(&user, sizeof user);
  OPENSSL_cleanse(&agent_a, sizeof agent_a);
  OPENSSL_cleanse(&agent_b, sizeof agent_b);
  secp256k1_context_destroy(ctx);
  printf("\n");
}
