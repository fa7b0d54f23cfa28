// Marks the symbols that form the C interface; everything else stays hidden.
#pragma once

#include "quorvel_sdk_uniffi.h"

#define QSDK_EXPORT extern "C" __attribute__((visibility("default")))
