/* A host program that walks the typical flows through the C interface,
 * loading the library with dlopen exactly as a language binding does. */
#include <stdio.h>

#include "host.h"

int main(void) {
  uint32_t (*version)(void) = sym("ffi_quorvel_sdk_uniffi_uniffi_contract_version");
  printf("quorvel_sdk_uniffi loaded, contract version %u\n\n", version());
  flow_origins();
  flow_wallet_signin();
  flow_capabilities();
  flow_origin_vouch();
  flow_oauth();
  return 0;
}
