// Origin vouch and registry exports through the C interface.
#include <gtest/gtest.h>

#include "ffi/host.hpp"

namespace {

using host::Bytes;
using BindingFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, std::uint64_t, std::uint64_t, std::int8_t,
                             RustCallStatus*);
using DecodeFn = std::int8_t(RustBuffer, RustCallStatus*);
using CalldataFn = RustBuffer(std::uint64_t, RustBuffer, std::uint64_t, RustCallStatus*);
using TtlFn = std::uint64_t(RustCallStatus*);

host::TextOutcome binding(const char* origin, std::int8_t allow) {
  auto* fn = host::lib().op<BindingFn>("origin_vouch_binding");
  return host::text_outcome([&](RustCallStatus* st) { return fn(7, host::text("rp"), host::text(origin), 1, 2, allow, st); });
}

TEST(VouchExports, InsecureOriginHasItsOwnVariantAndNoPrefix) {
  const auto refused = binding("http://LocalHost", 0);
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.variant, host::kInsecureOrigin);
  EXPECT_EQ(refused.message, "http://localhost: scheme must be https in production");

  const auto admitted = binding("http://LocalHost", 1);
  EXPECT_EQ(admitted.code, 0);
  EXPECT_TRUE(admitted.value.starts_with("http://LocalHost is claiming to act for Quorvel tenant 7."));

  const auto malformed = binding("http://localhost/x", 1);
  EXPECT_EQ(malformed.code, 1);
  EXPECT_EQ(malformed.variant, host::kSdk);
  EXPECT_TRUE(malformed.message.starts_with("input: origin: must be scheme://host[:port]"));
}

TEST(VouchExports, BooleanOtherThanZeroOrOneIsAFailedConversion) {
  for (std::int8_t bad : {std::int8_t{2}, std::int8_t{-1}}) {
    const auto o = binding("https://a.example", bad);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.message, "Failed to convert arg 'allow_insecure_origin':\nunexpected byte for Boolean");
  }
}

TEST(VouchExports, MaxTtlNeverWritesTheStatus) {
  RustCallStatus st{};
  st.code = 42;  // whatever the caller left there stays
  EXPECT_EQ(host::lib().op<TtlFn>("origin_vouch_max_ttl_secs")(&st), 7776000u);
  EXPECT_EQ(st.code, 42);
  EXPECT_EQ(st.error_buf.data, nullptr);
}

Bytes byte_array(std::int32_t count, std::size_t present, std::uint8_t last = 0) {
  Bytes b;
  b.reserve(4 + present);  // sized up front, or GCC 12 at -O3 reports a false overflow
  host::put_i32(b, count);
  b.insert(b.end(), present, 0);
  if (present > 0) b.back() = last;
  return b;
}

TEST(VouchExports, DecodeBoolReturnThroughTheFrame) {
  auto* fn = host::lib().op<DecodeFn>("decode_bool_return");
  struct Case {
    Bytes arg;
    int code;
    std::int8_t value;
    std::string message;
  };
  const Case cases[] = {
      {byte_array(32, 32, 1), 0, 1, ""},
      {byte_array(32, 32, 0), 0, 0, ""},
      {byte_array(32, 32, 0xff), 0, 1, ""},
      {byte_array(0, 0), 1, 0, "input: isOriginVoucher returned 0 bytes, expected 32"},
      {byte_array(64, 64, 1), 1, 0, "input: isOriginVoucher returned 64 bytes, expected 32"},
      {byte_array(4, 3), 2, 0, "Failed to convert arg 'ret':\nnot enough bytes remaining in buffer (0 < 1)"},
      {byte_array(4, 5), 2, 0, "Failed to convert arg 'ret':\njunk data left in buffer after lifting (count: 1)"},
      {byte_array(-1, 0), 2, 0, "Failed to convert arg 'ret':\nout of range integral type conversion attempted"},
      {Bytes{0, 0}, 2, 0, "Failed to convert arg 'ret':\nnot enough bytes remaining in buffer (2 < 4)"},
  };
  for (const auto& c : cases) {
    host::Status st;
    const std::int8_t v = fn(host::buffer(c.arg), &st);
    EXPECT_EQ(st.code(), c.code) << c.message;
    EXPECT_EQ(v, c.value);
    if (c.code == 1) {
      EXPECT_EQ(st.sdk_error(), std::make_pair(host::kSdk, c.message));
    } else if (c.code == 2) {
      EXPECT_EQ(st.internal_message(), c.message);
    }
  }
}

TEST(VouchExports, CallDataIsAByteArray) {
  auto* fn = host::lib().op<CalldataFn>("is_origin_voucher_calldata");
  host::Status st;
  Bytes out = host::take(fn(1, host::text("0x" + std::string(40, '0')), 1, &st));
  ASSERT_EQ(st.code(), 0);
  ASSERT_EQ(out.size(), 104u);
  EXPECT_EQ((Bytes{out.begin(), out.begin() + 8}), (Bytes{0, 0, 0, 100, 0x04, 0xe8, 0xe8, 0xda}));
  EXPECT_EQ(out[39], 1);
  EXPECT_EQ(out[103], 1);
}

}  // namespace
