#include "crypto/random.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace qsdk::core::os_random {
namespace {

[[noreturn]] void fail_with_errno(const char* what, int err) {
  throw std::runtime_error(std::string("rng: ") + what + ": " + std::strerror(err));
}

long getrandom_call(void* buf, std::size_t len) { return syscall(SYS_getrandom, buf, len, 0); }

// Probed once per process with a zero-length request; only a missing or
// forbidden system call sends us to the device files.
bool getrandom_available() {
  static const bool available = [] {
    if (getrandom_call(nullptr, 0) >= 0) return true;
    return errno != ENOSYS && errno != EPERM;
  }();
  return available;
}

int retry_open(const char* path) {
  for (;;) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR) fail_with_errno(path, errno);
  }
}

// /dev/random becoming readable means the pool is initialised; from then on
// /dev/urandom never returns weak bytes.
void wait_for_initialised_pool() {
  const int fd = retry_open("/dev/random");
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int r = poll(&p, 1, -1);
    if (r >= 0) break;
    if (errno != EINTR) {
      const int err = errno;
      close(fd);
      fail_with_errno("poll /dev/random", err);
    }
  }
  close(fd);
}

// Opened once, under the static-initialisation lock, and kept for the life
// of the process. A failed attempt leaves it unset, so a later call retries.
int urandom_descriptor() {
  static const int fd = [] {
    wait_for_initialised_pool();
    return retry_open("/dev/urandom");
  }();
  return fd;
}

}  // namespace

void fill_from_device(std::span<std::uint8_t> out) {
  const int fd = urandom_descriptor();
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = read(fd, out.data() + done, out.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      throw std::runtime_error("rng: /dev/urandom: unexpected end of file");
    } else if (errno != EINTR) {
      fail_with_errno("/dev/urandom", errno);
    }
  }
}

void fill(std::span<std::uint8_t> out) {
  if (!getrandom_available()) return fill_from_device(out);
  std::size_t done = 0;
  while (done < out.size()) {
    const long n = getrandom_call(out.data() + done, out.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      fail_with_errno("getrandom", errno);
    }
  }
}

}  // namespace qsdk::core::os_random
