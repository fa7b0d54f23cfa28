/* Shared plumbing of the demo host: the loaded library, buffers, printing. */
#ifndef QSDK_DEMO_HOST_H
#define QSDK_DEMO_HOST_H

#include <stddef.h>
#include <stdint.h>

#include "quorvel_sdk_uniffi.h"

void* sym(const char* name);                 /* an export by name, or exit */
RustBuffer text(const char* s);              /* a library-allocated text argument */
RustBuffer bytes_arg(const uint8_t* p, size_t n); /* a library-allocated raw buffer */
void release(RustBuffer b);
/* Prints a text outcome: the text, the SdkError, or the internal failure.
 * Returns 1 on success (and releases `out`), 0 otherwise. */
int show(const char* what, RustBuffer out, RustCallStatus* st);
/* Copies a successful text result into a NUL-terminated heap string. */
char* take_text(RustBuffer b);

/* One walk-through per flow; each prints a heading and its steps. */
void flow_origins(void);
void flow_wallet_signin(void);
void flow_capabilities(void);
void flow_origin_vouch(void);
void flow_oauth(void);

#endif
