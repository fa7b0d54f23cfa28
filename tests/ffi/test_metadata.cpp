// Reads every metadata blob from the library the way a bindings generator
// does, checks it against the interface table, and recomputes each
// operation's checksum from its bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "ffi/host.hpp"
#include "ffi/interface.hpp"

namespace {

namespace iface = qsdk::ffi::iface;
using host::Bytes;

// Symbol sizes from the library file, as a generator sees them.
std::map<std::string, std::size_t> data_symbol_sizes() {
  std::map<std::string, std::size_t> out;
  const std::string cmd = std::string("nm -S --defined-only ") + host::library_path();
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char addr[64], size[64], kind[8], name[512];
  char line[1024];
  while (fgets(line, sizeof line, p) != nullptr) {
    if (std::sscanf(line, "%63s %63s %7s %511s", addr, size, kind, name) == 4 && std::string(name).starts_with("UNIFFI_META_"))
      out[name] = std::stoul(size, nullptr, 16);
  }
  pclose(p);
  return out;
}

Bytes blob(const std::string& symbol, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(dlsym(host::lib().handle(), symbol.c_str()));
  if (p == nullptr) return {};
  return Bytes(p, p + size);
}

std::uint16_t checksum(const Bytes& b) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::uint8_t c : b) h = (h ^ c) * 0x100000001b3ULL;
  return static_cast<std::uint16_t>((h ^ h >> 16 ^ h >> 32 ^ h >> 48) & 0xffff);
}

class BlobReader {
 public:
  explicit BlobReader(const Bytes& b) : b_(b) {}
  std::uint8_t u8() { return b_.at(pos_++); }
  std::string name() {
    const std::size_t n = u8();
    return take(n);
  }
  std::string doc() {
    const std::size_t n = u8() | static_cast<std::size_t>(u8()) << 8;
    return take(n);
  }
  bool done() const { return pos_ == b_.size(); }

 private:
  std::string take(std::size_t n) {
    if (pos_ + n > b_.size()) throw std::out_of_range("blob too short");
    std::string s(b_.begin() + static_cast<std::ptrdiff_t>(pos_), b_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return s;
  }
  const Bytes& b_;
  std::size_t pos_ = 0;
};

// The type encoding read back into the table's vocabulary.
iface::Ty read_type(BlobReader& r) {
  switch (r.u8()) {
    case 0: return iface::Ty::U8;
    case 3: return iface::Ty::U64;
    case 10: return iface::Ty::Bool;
    case 11: return iface::Ty::String;
    case 12: {
      const std::uint8_t inner = r.u8();
      if (inner == 11) return iface::Ty::OptString;
      if (inner == 3) return iface::Ty::OptU64;
      throw std::runtime_error("unexpected optional type");
    }
    case 13: {
      EXPECT_EQ(r.name(), iface::kModule);
      const std::string n = r.name();
      if (n == "Deed") return iface::Ty::Deed;
      if (n == "Claims") return iface::Ty::Claims;
      if (n == "AppKey") return iface::Ty::AppKey;
      if (n == "Pkce") return iface::Ty::Pkce;
      throw std::runtime_error("unexpected record " + n);
    }
    case 17:
      EXPECT_EQ(r.u8(), 0) << "only byte sequences are declared";
      return iface::Ty::Bytes;
    default: throw std::runtime_error("unexpected type code");
  }
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Documentation ends in padding that must stay invisible.
std::string_view visible(std::string_view doc) {
  while (!doc.empty() && (doc.back() == ' ' || doc.back() == '\t')) doc.remove_suffix(1);
  return doc;
}

TEST(Metadata, OperationBlobsMatchTheTableAndHashToTheirChecksums) {
  const auto sizes = data_symbol_sizes();
  ASSERT_FALSE(sizes.empty()) << "could not read the symbol table";
  for (const auto& op : iface::kOps) {
    const std::string symbol = "UNIFFI_META_QUORVEL_SDK_UNIFFI_FUNC_" + upper(op.name);
    ASSERT_TRUE(sizes.contains(symbol)) << symbol;
    const Bytes b = blob(symbol, sizes.at(symbol));
    BlobReader r(b);
    EXPECT_EQ(r.u8(), 0) << symbol;
    EXPECT_EQ(r.name(), iface::kModule);
    EXPECT_EQ(r.name(), op.name);
    EXPECT_EQ(r.u8(), 0) << "asynchronous flag";
    ASSERT_EQ(r.u8(), op.argc) << op.name;
    for (std::size_t i = 0; i < op.argc; ++i) {
      EXPECT_EQ(r.name(), op.args[i].name) << op.name;
      EXPECT_EQ(read_type(r), op.args[i].type) << op.name << " arg " << i;
      EXPECT_EQ(r.u8(), 0) << "default flag";
    }
    if (op.throws) {
      EXPECT_EQ(r.u8(), 23) << op.name;
      EXPECT_EQ(read_type(r), op.result) << op.name;
      EXPECT_EQ(r.u8(), 14);
      EXPECT_EQ(r.name(), iface::kModule);
      EXPECT_EQ(r.name(), "SdkError");
    } else {
      EXPECT_EQ(read_type(r), op.result) << op.name;
    }
    EXPECT_EQ(visible(r.doc()), op.doc) << op.name;
    EXPECT_TRUE(r.done()) << symbol << " has bytes after its documentation";

    EXPECT_EQ(checksum(b), op.checksum) << op.name;
    auto* exported = host::lib().fn<std::uint16_t()>("uniffi_quorvel_sdk_uniffi_checksum_func_" + std::string(op.name));
    EXPECT_EQ(exported(), op.checksum) << op.name;
  }
}

TEST(Metadata, RecordBlobsMatchTheTable) {
  const auto sizes = data_symbol_sizes();
  for (const auto& rec : iface::kRecords) {
    const std::string symbol = "UNIFFI_META_QUORVEL_SDK_UNIFFI_RECORD_" + upper(rec.name);
    ASSERT_TRUE(sizes.contains(symbol)) << symbol;
    const Bytes b = blob(symbol, sizes.at(symbol));
    BlobReader r(b);
    EXPECT_EQ(r.u8(), 2);
    EXPECT_EQ(r.name(), iface::kModule);
    EXPECT_EQ(r.name(), rec.name);
    ASSERT_EQ(r.u8(), rec.fieldc);
    for (std::size_t i = 0; i < rec.fieldc; ++i) {
      EXPECT_EQ(r.name(), rec.fields[i].name);
      EXPECT_EQ(read_type(r), rec.fields[i].type) << rec.name << "." << rec.fields[i].name;
      EXPECT_EQ(r.u8(), 0);
      EXPECT_EQ(r.doc(), rec.fields[i].doc);
    }
    EXPECT_EQ(r.doc(), rec.doc);
    EXPECT_TRUE(r.done()) << symbol;
  }
}

TEST(Metadata, ErrorAndNamespaceBlobs) {
  const auto sizes = data_symbol_sizes();
  const std::string err = "UNIFFI_META_QUORVEL_SDK_UNIFFI_ERROR_SDKERROR";
  ASSERT_TRUE(sizes.contains(err));
  const Bytes e = blob(err, sizes.at(err));
  BlobReader r(e);
  EXPECT_EQ(r.u8(), 3);
  EXPECT_EQ(r.name(), iface::kModule);
  EXPECT_EQ(r.name(), "SdkError");
  EXPECT_EQ(r.u8(), 2);
  EXPECT_EQ(r.u8(), 0);
  EXPECT_EQ(r.u8(), 2);
  for (const char* variant : {"Sdk", "InsecureOrigin"}) {
    EXPECT_EQ(r.name(), variant);
    EXPECT_EQ(r.u8(), 0);
    EXPECT_EQ(r.u8(), 0);
  }
  EXPECT_EQ(r.u8(), 0);
  EXPECT_EQ(r.doc(), iface::kErrorDoc);
  EXPECT_TRUE(r.done());

  const std::string ns = "UNIFFI_META_NAMESPACE_QUORVEL_SDK_UNIFFI";
  ASSERT_TRUE(sizes.contains(ns));
  const Bytes n = blob(ns, sizes.at(ns));
  BlobReader nr(n);
  EXPECT_EQ(nr.u8(), 6);
  EXPECT_EQ(nr.name(), "quorvel_sdk_uniffi");
  EXPECT_EQ(nr.name(), "quorvel_sdk_uniffi");
  EXPECT_TRUE(nr.done());
}

}  // namespace
