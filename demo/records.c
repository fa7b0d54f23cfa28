#include "records.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"

static int need(wire_cursor* c, size_t n) { return c->len - c->pos >= n; }

uint64_t wire_read_be(wire_cursor* c, size_t n) {
  uint64_t v = 0;
  if (!need(c, n)) exit(2);
  for (size_t i = 0; i < n; ++i) v = v << 8 | c->p[c->pos++];
  return v;
}

char* wire_read_string(wire_cursor* c) {
  size_t n = (size_t)wire_read_be(c, 4);
  if (!need(c, n)) exit(2);
  char* s = malloc(n + 1);
  if (!s) exit(2);
  memcpy(s, c->p + c->pos, n);
  s[n] = 0;
  c->pos += n;
  return s;
}

static void print_string_field(const char* name, wire_cursor* c) {
  char* s = wire_read_string(c);
  printf("      %-20s %s\n", name, s);
  free(s);
}

int show_deed(const char* what, RustBuffer out, RustCallStatus* st) {
  static const char* optional_fields[] = {"root", "proof", "pubkey", "signature", "credential_pubkey",
                                          "authenticator_data", "client_data_json", "assertion_sig", "signer",
                                          "grants", "delegations"};
  if (st->code != 0) return show(what, out, st);
  wire_cursor c = wire_cursor_of(out);
  printf("  %s -> Deed\n", what);
  printf("      %-20s %u\n", "v", (unsigned)wire_read_be(&c, 1));
  print_string_field("mode", &c);
  printf("      %-20s %llu\n", "tenant", (unsigned long long)wire_read_be(&c, 8));
  print_string_field("sub", &c);
  print_string_field("aud", &c);
  print_string_field("challenge", &c);
  printf("      %-20s %llu\n", "exp", (unsigned long long)wire_read_be(&c, 8));
  for (size_t i = 0; i < sizeof optional_fields / sizeof *optional_fields; ++i)
    if (wire_read_be(&c, 1)) print_string_field(optional_fields[i], &c);
  release(out);
  return 1;
}

void take_app_key(RustBuffer out, char** secret_key_hex, char** pubkey_hex) {
  wire_cursor c = wire_cursor_of(out);
  *secret_key_hex = wire_read_string(&c);
  *pubkey_hex = wire_read_string(&c);
  release(out); /* the library wipes what it releases */
}
