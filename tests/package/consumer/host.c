/* A host linked against the installed library at build time (no dlopen):
 * checks the contract version, one success and one refusal with its wire
 * form. Prints "ok" and exits 0 when all hold. */
#include <stdio.h>
#include <string.h>

#include <quorvel_sdk_uniffi.h>

static RustBuffer text(const char* s) {
  RustCallStatus st = {0};
  ForeignBytes b = {(int32_t)strlen(s), (const uint8_t*)s};
  return ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes(b, &st);
}

static uint32_t be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

static void release(RustBuffer b) {
  RustCallStatus st = {0};
  ffi_quorvel_sdk_uniffi_rustbuffer_free(b, &st);
}

int main(void) {
  int failures = 0;
  if (ffi_quorvel_sdk_uniffi_uniffi_contract_version() != 30) {
    fprintf(stderr, "contract version %u\n", ffi_quorvel_sdk_uniffi_uniffi_contract_version());
    ++failures;
  }

  RustCallStatus st = {0};
  RustBuffer out = uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin(text("https://Wallet.Example:443/"), &st);
  const char* want = "https://wallet.example";
  if (st.code != 0 || out.len != strlen(want) || memcmp(out.data, want, out.len) != 0) {
    fprintf(stderr, "normalize_origin: code %d, %.*s\n", st.code, (int)out.len, (const char*)out.data);
    ++failures;
  }
  release(out);

  RustCallStatus refused = {0};
  out = uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin(text("wallet.example"), &refused);
  const char* message = "input: origin: must start with https:// or http://";
  const uint8_t* e = refused.error_buf.data;
  if (refused.code != 1 || refused.error_buf.len != 8 + strlen(message) || be32(e) != 1 ||
      be32(e + 4) != strlen(message) || memcmp(e + 8, message, strlen(message)) != 0) {
    fprintf(stderr, "refusal: code %d, %llu bytes\n", refused.code, (unsigned long long)refused.error_buf.len);
    ++failures;
  }
  release(refused.error_buf);

  puts(failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
