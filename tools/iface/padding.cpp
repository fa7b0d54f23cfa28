#include "padding.hpp"

#include <cstdint>

#include "ffi/metadata.hpp"

namespace qsdk::iface_tool {
namespace {

namespace meta = ffi::meta;

// Depth-first over the `left` symbols still to place, space before tab.
bool search(std::uint64_t h, int left, std::uint16_t target, std::string& run) {
  if (left == 0) return meta::fold16(h) == target;
  for (char c : {' ', '\t'}) {
    run.push_back(c);
    if (search(meta::fnv1a(h, static_cast<std::uint8_t>(c)), left - 1, target, run)) return true;
    run.pop_back();
  }
  return false;
}

}  // namespace

std::optional<std::string> find_padding(const ffi::iface::Op& op) {
  constexpr int kLongest = 28;
  for (int length = 0; length <= kLongest; ++length) {
    meta::Blob b = meta::func_head(op);
    b.doc_len(op.doc.size() + static_cast<std::size_t>(length));
    b.text(op.doc);
    std::uint64_t h = meta::kFnvOffset;
    for (std::size_t i = 0; i < b.size; ++i) h = meta::fnv1a(h, b.bytes[i]);
    std::string run;
    if (search(h, length, op.checksum, run)) return run;
  }
  return std::nullopt;
}

std::string padding_literal(std::string_view padding) {
  std::string out = "\"";
  for (char c : padding) out += c == '\t' ? "\\t" : " ";
  return out + "\"";
}

}  // namespace qsdk::iface_tool
