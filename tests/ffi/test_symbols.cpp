// The library exports exactly the C interface: every declared symbol, and
// nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "ffi/host.hpp"
#include "ffi/interface.hpp"

namespace {

using qsdk::ffi::iface::kOps;

std::set<std::string> defined_dynamic_symbols() {
  std::set<std::string> out;
  const std::string cmd = std::string("nm -D --defined-only ") + host::library_path();
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char line[1024];
  while (fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const auto sp = s.rfind(' ');
    if (sp != std::string::npos) out.insert(s.substr(sp + 1));
  }
  pclose(p);
  return out;
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::set<std::string> expected_symbols() {
  std::set<std::string> want = {
      "ffi_quorvel_sdk_uniffi_rustbuffer_alloc",
      "ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes",
      "ffi_quorvel_sdk_uniffi_rustbuffer_free",
      "ffi_quorvel_sdk_uniffi_rustbuffer_reserve",
      "ffi_quorvel_sdk_uniffi_uniffi_contract_version",
      "UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_APPKEY",
      "UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_CLAIMS",
      "UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_DEED",
      "UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_PKCE",
      "UNIFFI_META_QUORVEL_SDK_UNIFFI_ERROR_SDKERROR",
      "UNIFFI_META_NAMESPACE_QUORVEL_SDK_UNIFFI",
  };
  for (const auto& op : kOps) {
    want.insert("uniffi_quorvel_sdk_uniffi_fn_func_" + std::string(op.name));
    want.insert("uniffi_quorvel_sdk_uniffi_checksum_func_" + std::string(op.name));
    want.insert("UNIFFI_META_QUORVEL_SDK_UNIFFI_FUNC_" + upper(op.name));
  }
  for (const char* verb : {"poll", "cancel", "complete", "free"})
    for (const char* t : {"u8", "i8", "u16", "i16", "u32", "i32", "u64", "i64", "f32", "f64", "rust_buffer", "void"})
      want.insert(std::string("ffi_quorvel_sdk_uniffi_rust_future_") + verb + "_" + t);
  return want;
}

TEST(Symbols, ExportsExactlyTheCInterface) {
  const auto have = defined_dynamic_symbols();
  ASSERT_FALSE(have.empty()) << "could not read the dynamic symbol table";
  const auto want = expected_symbols();
  for (const auto& s : have) EXPECT_TRUE(want.contains(s)) << "unexpected export: " << s;
  for (const auto& s : want) {
    // The asynchronous family is checked once it is part of the library.
    if (s.starts_with("ffi_quorvel_sdk_uniffi_rust_future_") && !have.contains("ffi_quorvel_sdk_uniffi_rust_future_poll_u8"))
      continue;
    EXPECT_TRUE(have.contains(s)) << "missing export: " << s;
  }
}

TEST(Symbols, ContractVersionIs30) {
  auto* version = host::lib().fn<std::uint32_t()>("ffi_quorvel_sdk_uniffi_uniffi_contract_version");
  EXPECT_EQ(version(), 30u);
}

}  // namespace
