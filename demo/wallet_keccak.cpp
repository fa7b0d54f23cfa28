// Keccak-256 for the C demo host: Crypto++ offers it only to C++.
#include <cryptopp/keccak.h>

#include <cstddef>

extern "C" void demo_keccak256(const unsigned char* data, std::size_t len, unsigned char out[32]) {
  CryptoPP::Keccak_256 k;
  k.Update(data, len);
  k.Final(out);
}
