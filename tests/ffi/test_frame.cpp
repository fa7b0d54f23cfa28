// The call frame and the buffer functions, seen from a host: status codes,
// error wire forms byte for byte, and argument buffers with broken invariants.
#include <gtest/gtest.h>

#include <limits>

#include "ffi/host.hpp"

namespace {

using host::Bytes;
using NormalizeFn = RustBuffer(RustBuffer, RustCallStatus*);

NormalizeFn* normalize() { return host::lib().op<NormalizeFn>("normalize_origin"); }

Bytes sdk_error_bytes(std::int32_t variant, std::string_view message) {
  Bytes b;
  host::put_i32(b, variant);
  host::put_string(b, message);
  return b;
}

TEST(Frame, SuccessReturnsBareTextAndLeavesStatusUntouched) {
  host::Status st;
  RustBuffer out = normalize()(host::text("https://HoSt:443/"), &st);
  EXPECT_EQ(st.code(), 0);
  EXPECT_EQ(st.st.error_buf.data, nullptr);
  EXPECT_EQ(host::take_text(out), "https://host");
}

TEST(Frame, RefusalIsSdkErrorWireForm) {
  host::Status st;
  RustBuffer out = normalize()(host::text("host.example"), &st);
  ASSERT_EQ(st.code(), 1);
  EXPECT_EQ(out.capacity, 0u);
  EXPECT_EQ(out.len, 0u);
  EXPECT_EQ(out.data, nullptr);
  const Bytes want = sdk_error_bytes(1, "input: origin: must start with https:// or http://");
  ASSERT_EQ(want.size(), 58u);
  EXPECT_EQ((Bytes{want.begin(), want.begin() + 8}), (Bytes{0, 0, 0, 1, 0, 0, 0, 0x32}));
  EXPECT_EQ(st.error_bytes(), want);
}

struct BadArgCase {
  const char* what;
  RustBuffer (*make)();
  std::string message;
};

RustBuffer invalid_utf8() { return host::buffer(Bytes{'h', 0xff, 't'}); }
RustBuffer truncated_utf8() { return host::buffer(Bytes{'h', 0xe2, 0x82}); }
RustBuffer null_with_capacity() { return RustBuffer{5, 0, nullptr}; }
RustBuffer null_with_length() { return RustBuffer{0, 5, nullptr}; }

TEST(Frame, UnliftableArgumentsAreInternalFailures) {
  static std::uint8_t scratch[4];
  const BadArgCase cases[] = {
      {"invalid UTF-8", invalid_utf8, "Failed to convert arg 'origin':\ninvalid utf-8 sequence of 1 bytes from index 1"},
      {"truncated UTF-8", truncated_utf8, "Failed to convert arg 'origin':\nincomplete utf-8 byte sequence from index 1"},
      {"null data, capacity 5", null_with_capacity, "null RustBuffer had non-zero capacity"},
      {"null data, length 5", null_with_length, "null RustBuffer had non-zero length"},
      {"length above capacity", [] { return RustBuffer{2, 4, scratch}; }, "RustBuffer length exceeds capacity"},
  };
  for (const auto& c : cases) {
    host::Status st;
    RustBuffer out = normalize()(c.make(), &st);
    EXPECT_EQ(st.code(), 2) << c.what;
    EXPECT_EQ(st.internal_message(), c.message) << c.what;
    EXPECT_EQ(out.data, nullptr) << c.what;
  }
}

TEST(Frame, EmptyCallerBufferIsEmptyText) {
  host::Status st;
  RustBuffer out = normalize()(RustBuffer{0, 0, nullptr}, &st);
  EXPECT_EQ(st.code(), 1);
  EXPECT_EQ(st.sdk_error().second, "input: origin: must start with https:// or http://");
  EXPECT_EQ(out.data, nullptr);
}

using AllocFn = RustBuffer(std::uint64_t, RustCallStatus*);
using FromBytesFn = RustBuffer(ForeignBytes, RustCallStatus*);
using FreeFn = void(RustBuffer, RustCallStatus*);
using ReserveFn = RustBuffer(RustBuffer, std::uint64_t, RustCallStatus*);

AllocFn* alloc() { return host::lib().fn<AllocFn>("ffi_quorvel_sdk_uniffi_rustbuffer_alloc"); }
FromBytesFn* from_bytes() { return host::lib().fn<FromBytesFn>("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes"); }
FreeFn* free_fn() { return host::lib().fn<FreeFn>("ffi_quorvel_sdk_uniffi_rustbuffer_free"); }
ReserveFn* reserve() { return host::lib().fn<ReserveFn>("ffi_quorvel_sdk_uniffi_rustbuffer_reserve"); }

TEST(Buffers, AllocZeroIsEmptyWithNonNullData) {
  host::Status st;
  RustBuffer b = alloc()(0, &st);
  EXPECT_EQ(st.code(), 0);
  EXPECT_EQ(b.capacity, 0u);
  EXPECT_EQ(b.len, 0u);
  EXPECT_NE(b.data, nullptr);
  host::free_buffer(b);
}

TEST(Buffers, AllocIsZeroFilled) {
  host::Status st;
  RustBuffer b = alloc()(16, &st);
  ASSERT_EQ(st.code(), 0);
  EXPECT_EQ(b.capacity, 16u);
  EXPECT_EQ(b.len, 16u);
  EXPECT_EQ(host::take(b), Bytes(16, 0));
}

TEST(Buffers, InternalFailures) {
  struct Case {
    const char* what;
    std::function<RustBuffer(RustCallStatus*)> call;
    std::string prefix;
  };
  static const std::uint8_t byte = 7;
  const Case cases[] = {
      {"alloc beyond the address range", [](RustCallStatus* s) { return alloc()(std::uint64_t{1} << 63, s); },
       "capacity overflow"},
      {"from_bytes null data with length", [](RustCallStatus* s) { return from_bytes()(ForeignBytes{3, nullptr}, s); },
       "null ForeignBytes had non-zero length"},
      {"from_bytes negative length", [](RustCallStatus* s) { return from_bytes()(ForeignBytes{-1, &byte}, s); },
       "bytes length negative or overflowed"},
      {"free null data with length",
       [](RustCallStatus* s) {
         free_fn()(RustBuffer{0, 5, nullptr}, s);
         return RustBuffer{};
       },
       "null RustBuffer had non-zero length"},
      {"free null data with capacity",
       [](RustCallStatus* s) {
         free_fn()(RustBuffer{5, 0, nullptr}, s);
         return RustBuffer{};
       },
       "null RustBuffer had non-zero capacity"},
      {"reserve beyond 64 bits",
       [](RustCallStatus* s) { return reserve()(host::text("abcd"), std::numeric_limits<std::uint64_t>::max(), s); },
       "capacity overflow"},
      {"reserve beyond the address range",
       [](RustCallStatus* s) { return reserve()(host::text("abcd"), std::uint64_t{1} << 63, s); },
       "capacity overflow"},
  };
  for (const auto& c : cases) {
    host::Status st;
    RustBuffer out = c.call(&st);
    EXPECT_EQ(st.code(), 2) << c.what;
    EXPECT_TRUE(st.internal_message().starts_with(c.prefix)) << c.what << ": " << st.internal_message();
    EXPECT_EQ(out.data, nullptr) << c.what;
  }
}

TEST(Buffers, FromBytesCopiesAndEmptyInputs) {
  const std::uint8_t bytes[] = {1, 2, 3};
  host::Status st;
  RustBuffer b = from_bytes()(ForeignBytes{3, bytes}, &st);
  EXPECT_EQ(b.capacity, 3u);
  EXPECT_EQ(host::take(b), (Bytes{1, 2, 3}));
  for (const std::uint8_t* data : {static_cast<const std::uint8_t*>(nullptr), bytes}) {
    RustBuffer e = from_bytes()(ForeignBytes{0, data}, &st);
    EXPECT_EQ(e.len, 0u);
    EXPECT_EQ(e.capacity, 0u);
    host::free_buffer(e);
  }
  EXPECT_EQ(st.code(), 0);
}

TEST(Buffers, ReserveGrowsToLargestOfNeedDoubleAndEight) {
  struct Case {
    std::uint64_t capacity, len, additional, want_capacity;
  };
  const Case cases[] = {{10, 4, 6, 10}, {10, 4, 7, 20}, {10, 4, 30, 34}, {0, 0, 1, 8}, {0, 0, 0, 0}};
  for (const auto& c : cases) {
    host::Status st;
    RustBuffer b = alloc()(c.capacity, &st);
    b.len = c.len;
    for (std::uint64_t i = 0; i < c.len; ++i) b.data[i] = static_cast<std::uint8_t>(i + 1);
    RustBuffer r = reserve()(b, c.additional, &st);
    ASSERT_EQ(st.code(), 0);
    EXPECT_EQ(r.capacity, c.want_capacity) << c.capacity << "/" << c.len << " +" << c.additional;
    EXPECT_EQ(r.len, c.len);
    for (std::uint64_t i = 0; i < c.len; ++i) EXPECT_EQ(r.data[i], i + 1);
    if (c.want_capacity == c.capacity) {
      EXPECT_EQ(r.data, b.data);
    }
    host::free_buffer(r);
  }
}

}  // namespace

namespace {

using DelegateFn = RustBuffer(std::uint64_t, RustBuffer, RustBuffer, RustBuffer, std::uint64_t, RustBuffer,
                              std::uint64_t, RustBuffer, RustBuffer, RustBuffer, RustCallStatus*);

// Optional arguments are lifted like any nested value; the failure names the
// argument, and every other buffer of the call is still released (the
// sanitizer build checks that nothing leaks).
TEST(Frame, OptionalArgumentLiftFailures) {
  auto* delegate = host::lib().op<DelegateFn>("delegate");
  const std::pair<Bytes, std::string> cases[] = {
      {Bytes{0x02}, "Failed to convert arg 'pubkey_hex':\nunexpected tag byte for Option"},
      {Bytes{}, "Failed to convert arg 'pubkey_hex':\nnot enough bytes remaining in buffer (0 < 1)"},
      {Bytes{0x00, 0x00}, "Failed to convert arg 'pubkey_hex':\njunk data left in buffer after lifting (count: 1)"},
      {Bytes{0x01, 0x00, 0x00, 0x00, 0x02, 'a'}, "Failed to convert arg 'pubkey_hex':\nnot enough bytes remaining in buffer (1 < 2)"},
      {Bytes{0x01, 0x00, 0x00, 0x00, 0x01, 0xc3}, "Failed to convert arg 'pubkey_hex':\nincomplete utf-8 byte sequence from index 0"},
  };
  for (const auto& [pubkey, message] : cases) {
    host::Status st;
    RustBuffer out = delegate(1, host::text("iss"), host::text("to"), host::text("[]"), 2, host::text(std::string(64, 'a')),
                              3, host::text(std::string(64, 'b')), host::buffer(pubkey), host::text("00"), &st);
    EXPECT_EQ(st.code(), 2) << message;
    EXPECT_EQ(st.internal_message(), message);
    EXPECT_EQ(out.data, nullptr);
  }
}

// The first argument that cannot be lifted is the one reported.
TEST(Frame, FirstUnliftableArgumentWins) {
  auto* delegate = host::lib().op<DelegateFn>("delegate");
  host::Status st;
  RustBuffer out = delegate(1, host::buffer(Bytes{0xff}), host::text("to"), host::text("[]"), 2, host::text("x"), 3,
                            host::text("y"), host::buffer(Bytes{0x07}), host::text("00"), &st);
  EXPECT_EQ(st.code(), 2);
  EXPECT_EQ(st.internal_message(), "Failed to convert arg 'iss':\ninvalid utf-8 sequence of 1 bytes from index 0");
  EXPECT_EQ(out.data, nullptr);
}

}  // namespace
