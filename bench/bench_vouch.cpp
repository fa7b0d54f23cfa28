// The origin vouch exports: signer recovery beside libsecp256k1 recovering
// the same signature from the same digest; the prose, call data and return decoding,
// which wrap no primitive, beside the copies of their arguments.
#include "constants.hpp"
#include "table.hpp"

namespace {

using namespace bench;

constexpr std::uint64_t kTenant = 7, kEpoch = 3, kExp = 1700000000;

std::string prose() {
  host::Status st;
  return host::take_text(QSDK_FN(origin_vouch_binding)(kTenant, host::text("rp"), host::text(kOrigin), kEpoch, kExp,
                                                       std::int8_t{0}, &st));
}

host::Bytes true_word() {
  host::Bytes word(32, 0);
  word.back() = 1;
  return byte_array(word);
}

const bool registered = add({
    {"origin_vouch_binding", call(QSDK_FN(origin_vouch_binding), kTenant, "rp", kOrigin, kEpoch, kExp, std::int8_t{0}),
     buffer_floor({"rp", kOrigin})},
    {"origin_vouch_signer", call(QSDK_FN(origin_vouch_signer), kTenant, "rp", kOrigin, kEpoch, kExp, kVouchSig),
     recover_floor(prose(), kVouchSig)},
    {"origin_vouch_max_ttl_secs", call(QSDK_FN(origin_vouch_max_ttl_secs)), std::nullopt},
    {"is_origin_voucher_calldata", call(QSDK_FN(is_origin_voucher_calldata), kTenant, kAddress, kEpoch),
     buffer_floor({kAddress})},
    {"decode_bool_return", call(QSDK_FN(decode_bool_return), true_word()),
     buffer_floor({std::string(true_word().size(), '\0')})},
});

}  // namespace
