/* Readable printing of the records the library returns. */
#ifndef QSDK_DEMO_RECORDS_H
#define QSDK_DEMO_RECORDS_H

#include "quorvel_sdk_uniffi.h"

/* Prints a Deed outcome field by field, or the failure as show() does.
 * Returns 1 on success (and releases `out`), 0 otherwise. */
int show_deed(const char* what, RustBuffer out, RustCallStatus* st);

/* Splits an AppKey record into two NUL-terminated heap strings and
 * releases the buffer. */
void take_app_key(RustBuffer out, char** secret_key_hex, char** pubkey_hex);

#endif
