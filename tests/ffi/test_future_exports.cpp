// The asynchronous family as a binding finds it: all 48 exports resolve with
// their declared signatures. No call of this library yields a future, so the
// only handle a host can pass is one that names none (0); every member must
// treat it as a future with no outcome rather than touch memory.
#include <gtest/gtest.h>

#include <string>

#include "ffi/host.hpp"

namespace {

struct Called {
  int calls = 0;
  int code = -1;
};

void on_continuation(std::uint64_t data, std::int8_t code) {
  auto* c = reinterpret_cast<Called*>(static_cast<std::uintptr_t>(data));
  ++c->calls;
  c->code = code;
}

template <class T>
void check_member(const std::string& suffix) {
  SCOPED_TRACE(suffix);
  const std::string base = "ffi_quorvel_sdk_uniffi_rust_future_";
  auto& lib = host::lib();
  auto* poll = lib.fn<void(std::uint64_t, UniffiRustFutureContinuationCallback, std::uint64_t)>(base + "poll_" + suffix);
  auto* cancel = lib.fn<void(std::uint64_t)>(base + "cancel_" + suffix);
  auto* complete = lib.fn<T(std::uint64_t, RustCallStatus*)>(base + "complete_" + suffix);
  auto* free = lib.fn<void(std::uint64_t)>(base + "free_" + suffix);

  Called c;
  poll(0, on_continuation, reinterpret_cast<std::uintptr_t>(&c));
  EXPECT_EQ(c.calls, 1);
  EXPECT_EQ(c.code, 0);
  cancel(0);
  host::Status st;
  if constexpr (std::is_void_v<T>) {
    complete(0, &st);
  } else if constexpr (std::is_same_v<T, RustBuffer>) {
    const RustBuffer b = complete(0, &st);
    EXPECT_TRUE(b.data == nullptr && b.len == 0 && b.capacity == 0);
  } else {
    EXPECT_EQ(complete(0, &st), T{0});
  }
  EXPECT_EQ(st.code(), 3);
  EXPECT_EQ(st.st.error_buf.len, 0u);
  EXPECT_EQ(st.st.error_buf.capacity, 0u);
  free(0);
}

TEST(FutureExports, EveryMemberResolvesAndTreatsTheNullHandleAsCancelled) {
  check_member<std::uint8_t>("u8");
  check_member<std::int8_t>("i8");
  check_member<std::uint16_t>("u16");
  check_member<std::int16_t>("i16");
  check_member<std::uint32_t>("u32");
  check_member<std::int32_t>("i32");
  check_member<std::uint64_t>("u64");
  check_member<std::int64_t>("i64");
  check_member<float>("f32");
  check_member<double>("f64");
  check_member<RustBuffer>("rust_buffer");
  check_member<void>("void");
}

}  // namespace
