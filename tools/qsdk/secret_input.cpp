#include "secret_input.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qsdk::cli {

namespace {

// Far above any key or seed; the limit lets the buffer be made once, since
// growing it would leave copies of the secret in released memory.
constexpr std::size_t kMaxSecret = 4096;

template <class ReadSome>
std::expected<std::string, std::string> read_bounded(ReadSome read_some) {
  std::string text(kMaxSecret + 1, '\0');
  std::size_t filled = 0;
  while (filled < text.size()) {
    const long got = read_some(text.data() + filled, text.size() - filled);
    if (got < 0) {
      const std::string reason = std::strerror(errno);
      wipe(text);
      return std::unexpected(reason);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled > kMaxSecret) {
    wipe(text);
    return std::unexpected("more than " + std::to_string(kMaxSecret) + " bytes; not a key or a seed");
  }
  text.resize(filled);
  if (text.ends_with('\n')) text.pop_back();
  if (text.ends_with('\r')) text.pop_back();
  return text;
}

}  // namespace

bool names_a_source(std::string_view value) { return value == "-" || value.starts_with('@'); }

std::expected<std::string, std::string> read_secret(std::string_view value, std::istream& in) {
  if (value == "-")
    return read_bounded([&](char* to, std::size_t n) -> long {
      in.read(to, static_cast<std::streamsize>(n));
      return in.bad() ? (errno = EIO, -1) : static_cast<long>(in.gcount());
    });
  const std::string path(value.substr(1));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::unexpected("cannot open " + path + ": " + std::strerror(errno));
  auto text = read_bounded([&](char* to, std::size_t n) -> long {
    ssize_t got;
    do got = ::read(fd, to, n);
    while (got < 0 && errno == EINTR);
    return got;
  });
  ::close(fd);
  if (!text) return std::unexpected(path + ": " + text.error());
  return text;
}

void wipe(std::string& text) {
  text.resize(text.capacity());  // within capacity: no allocation
  explicit_bzero(text.data(), text.size());
  text.clear();
}

}  // namespace qsdk::cli
