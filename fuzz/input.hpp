// A fuzz input read as a host's call: one field per declared argument, in
// order. Buffers carry a mode byte so that malformed RustBuffers and
// malformed nested encodings are produced as often as well-formed ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  std::uint8_t u8() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | u8();
    return v;
  }
  std::uint32_t u32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | u8();
    return v;
  }
  // A length-prefixed chunk (big-endian u32 length, capped by what is left).
  std::vector<std::uint8_t> chunk() {
    const std::size_t want = u32();
    const std::size_t n = std::min(want, bytes_.size() - pos_);
    std::vector<std::uint8_t> out(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                  bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return out;
  }
  std::string text() {
    auto c = chunk();
    return std::string(c.begin(), c.end());
  }
  bool done() const { return pos_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace fuzz
