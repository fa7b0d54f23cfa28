#include "host.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void* lib;

void* sym(const char* name) {
  if (!lib) {
    lib = dlopen(QSDK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      fprintf(stderr, "cannot load the library: %s\n", dlerror());
      exit(2);
    }
  }
  void* p = dlsym(lib, name);
  if (!p) {
    fprintf(stderr, "missing export %s\n", name);
    exit(2);
  }
  return p;
}

RustBuffer bytes_arg(const uint8_t* p, size_t n) {
  RustBuffer (*from_bytes)(ForeignBytes, RustCallStatus*) = sym("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus st = {0};
  ForeignBytes fb = {(int32_t)n, p};
  return from_bytes(fb, &st);
}

RustBuffer text(const char* s) { return bytes_arg((const uint8_t*)s, strlen(s)); }

void release(RustBuffer b) {
  void (*free_buf)(RustBuffer, RustCallStatus*) = sym("ffi_quorvel_sdk_uniffi_rustbuffer_free");
  RustCallStatus st = {0};
  free_buf(b, &st);
}

char* take_text(RustBuffer b) {
  char* s = malloc(b.len + 1);
  if (!s) exit(2);
  if (b.len) memcpy(s, b.data, b.len);
  s[b.len] = 0;
  release(b);
  return s;
}

int show(const char* what, RustBuffer out, RustCallStatus* st) {
  if (st->code == 0) {
    printf("  %-34s -> %.*s\n", what, (int)out.len, (const char*)out.data);
    release(out);
    return 1;
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
  st->code = 0;
  st->error_buf = (RustBuffer){0, 0, NULL};
  return 0;
}
