// Argument sets for every operation, accepted and refused ones, as the
// interface tests already know them: the shared input of the concurrency and
// the ownership tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "robust/invoke.hpp"

namespace robust {

enum class Expect { Ok, Sdk, Internal };

struct Case {
  std::size_t op;
  std::string label;
  std::vector<Arg> args;
  Expect expect;
};

// Every operation has at least one accepted set, and every operation that
// declares SdkError at least one refused set.
const std::vector<Case>& catalogue();

// The first accepted set of an operation, the base that tests vary.
const Case& accepted(std::size_t op);

// Constants the tests build on.
inline constexpr const char* kOrigin = "https://rp.example";
inline constexpr const char* kLabel = "0102030405060708091011121314151617181920212223242526272829303132";
inline constexpr const char* kParent = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
// A canonical delegation link.
std::string link_json();

}  // namespace robust
