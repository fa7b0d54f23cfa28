#include <stdio.h>

#include "host.h"

void flow_origins(void) {
  RustBuffer (*normalize)(RustBuffer, RustCallStatus*) = sym("uniffi_quorvel_sdk_uniffi_fn_func_normalize_origin");
  const char* inputs[] = {"https://Wallet.Example:443/", "http://LOCALHOST:8080", "https://[FE80::1]:8443",
                          "wallet.example", "https://wallet.example/login", "https://user@wallet.example"};
  printf("Origins: one canonical spelling for signed bytes\n");
  for (size_t i = 0; i < sizeof inputs / sizeof *inputs; ++i) {
    RustCallStatus st = {0};
    RustBuffer out = normalize(text(inputs[i]), &st);
    show(inputs[i], out, &st);
  }
  printf("\n");
}
