// normalize_origin wraps no cryptographic primitive, so it is measured beside
// a plain copy of its argument.
#include "table.hpp"

namespace {

const std::string kOrigin = "https://Wallet.Example:443/";

const bool registered = bench::add({
    {"normalize_origin", bench::call(QSDK_FN(normalize_origin), kOrigin), bench::buffer_floor({kOrigin})},
});

}  // namespace
