/* A host program that walks the typical flows through the C interface,
 * loading the library with dlopen exactly as a language binding does. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quorvel_sdk_uniffi.h"

static void* lib;

static void* sym(const char* name) {
  void* p = dlsym(lib, name);
  if (!p) {
    fprintf(stderr, "missing export %s\n", name);
    exit(2);
  }
  return p;
}

static RustBuffer text(const char* s) {
  RustBuffer (*from_bytes)(ForeignBytes, RustCallStatus*) = sym("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus st = {0};
  ForeignBytes fb = {(int32_t)strlen(s), (const uint8_t*)s};
  return from_bytes(fb, &st);
}

static void release(RustBuffer b) {
  void (*free_buf)(RustBuffer, RustCallStatus*) = sym("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  RustCallStatus st = {0};
  free_buf(b, &st);
}

/* Prints an outcome: the text on success, the SdkError variant and message on
 * refusal, the raw message on internal failure. */
static void show(const char* what, RustBuffer out, RustCallStatus* st) {
  if (st->code == 0) {
    printf("  %-34s -> %.*s\n", what, (int)out.len, (const char*)out.data);
    release(out);
    return;
  }
  const RustBuffer* e = &st->error_buf;
  if (st->code == 1 && e->len >= 8) {
    int32_t variant = (int32_t)((uint32_t)e->data[0] << 24 | e->data[1] << 16 | e->data[2] << 8 | e->data[3]);
    uint32_t n = (uint32_t)e->data[4] << 24 | e->data[5] << 16 | e->data[6] << 8 | e->data[7];
    printf("  %-34s -> SdkError.%s: %.*s\n", what, variant == 2 ? "InsecureOrigin" : "Sdk", (int)n,
           (const char*)e->data + 8);
  } else {
    printf("  %-34s -> internal failure (%d): %.*s\n", what, st->code, (int)e->len, (const char*)e->data);
  }
  release(st->error_buf);
}

static void demo_origins(void) {
  RustBuffer (*normalize)(RustBuffer, RustCallStatus*) = sym("uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin");
  const char* inputs[] = {"https://Wallet.Example:443/", "http://LOCALHOST:8080", "https://[FE80::1]:8443",
                          "wallet.example", "https://wallet.example/login", "https://user@wallet.example"};
  printf("Origins: one canonical spelling for signed bytes\n");
  for (size_t i = 0; i < sizeof inputs / sizeof *inputs; ++i) {
    RustCallStatus st = {0};
    RustBuffer out = normalize(text(inputs[i]), &st);
    show(inputs[i], out, &st);
  }
}

int main(void) {
  lib = dlopen(QSDK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "cannot load the library: %s\n", dlerror());
    return 2;
  }
  uint32_t (*version)(void) = sym("ffi_quorvel_sdk_uniffi_uniffi_contract_version");
  printf("quorvel_sdk_uniffi loaded, contract version %u\n\n", version());
  demo_origins();
  dlclose(lib);
  return 0;
}
