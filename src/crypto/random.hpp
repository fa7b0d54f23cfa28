// The operating system's random source: the getrandom system call, or the
// random device files where the call is missing or forbidden (old kernels,
// seccomp sandboxes).
#pragma once

#include <cstdint>
#include <span>

namespace qsdk::core::os_random {

// Fills the buffer completely. A failing source is an internal failure: it
// throws std::runtime_error whose message starts "rng: ".
void fill(std::span<std::uint8_t> out);

// The fallback path on its own, so that it can be exercised where the system
// call works: waits once for the pool to be initialised, then reads the
// process-wide /dev/urandom descriptor.
void fill_from_device(std::span<std::uint8_t> out);

}  // namespace qsdk::core::os_random
