// qsdk: every operation of the library as a subcommand, for operators who
// inspect a deed, check a vouch, compute a thumbprint or verify a token by hand.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
  // Unbuffered, a secret read from standard input goes straight into the
  // buffer the tool wipes, leaving no copy in the C library's.
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  try {
    return qsdk::cli::run(args, std::cout, std::cerr, std::cin);
  } catch (const std::exception& e) {
    std::cerr << "qsdk: " << e.what() << "\n";
    return qsdk::cli::kExitFailure;
  }
}
