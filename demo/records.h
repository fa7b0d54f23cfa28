/* Readable printing of the records the library returns. */
#ifndef QSDK_DEMO_RECORDS_H
#define QSDK_DEMO_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#include "quorvel_sdk_uniffi.h"

/* A cursor over a record's nested wire form (big-endian, length-prefixed).
 * Reading past the end ends the demo: the library never returns that. */
typedef struct {
  const uint8_t* p;
  size_t len, pos;
} wire_cursor;

static inline wire_cursor wire_cursor_of(RustBuffer b) {
  wire_cursor c = {b.data, (size_t)b.len, 0};
  return c;
}
uint64_t wire_read_be(wire_cursor* c, size_t n);
/* A nested String as a NUL-terminated heap copy. */
char* wire_read_string(wire_cursor* c);

/* Prints a Deed outcome field by field, or the failure as show() does.
 * Returns 1 on success (and releases `out`), 0 otherwise. */
int show_deed(const char* what, RustBuffer out, RustCallStatus* st);

/* Splits an AppKey record into two NUL-terminated heap strings and
 * releases the buffer. */
void take_app_key(RustBuffer out, char** secret_key_hex, char** pubkey_hex);

#endif
