// Storage for secret keys, seeds and derived scalars: every byte is wiped
// before the memory goes back to the allocator, on every path out of a call.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace qsdk::core {

template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() noexcept = default;
  template <class U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
  void deallocate(T* p, std::size_t n) noexcept {
    OPENSSL_cleanse(p, n * sizeof(T));
    std::allocator<T>{}.deallocate(p, n);
  }
  template <class U>
  bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;
using SecretString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// Wipes a fixed-size object (an array on the stack) when the scope ends.
template <class T>
class WipeOnExit {
 public:
  explicit WipeOnExit(T& obj) noexcept : obj_(obj) {}
  ~WipeOnExit() { OPENSSL_cleanse(&obj_, sizeof(T)); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  T& obj_;
};

}  // namespace qsdk::core
