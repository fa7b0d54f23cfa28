// qsdk_iface: keeps what is derived from the interface table in step with it.
//   qsdk_iface padding [--check]  each operation's doc_padding (after a
//                                 documentation edit, copy it into the table);
//                                 --check fails when a stored one differs
//   qsdk_iface write <source-dir> rewrites docs/api.md, the operations parts of
//                                 include/quorvel_sdk_uniffi.h and src/ffi/metadata.cpp,
//                                 and fuzz/operations.txt
//   qsdk_iface check <source-dir> fails when any of them differs from the table
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ffi/interface.hpp"
#include "padding.hpp"
#include "reference.hpp"

namespace {

namespace iface = qsdk::ffi::iface;
namespace tool = qsdk::iface_tool;

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

int padding(bool check) {
  int status = 0;
  for (const iface::Op& op : iface::kOps) {
    const auto found = tool::find_padding(op);
    if (!found) {
      std::cerr << op.name << ": no padding of up to 28 symbols reaches checksum " << op.checksum << "\n";
      status = 1;
      continue;
    }
    const bool stale = *found != op.doc_padding;
    if (!check || stale) std::cout << op.name << ": .doc_padding = " << tool::padding_literal(*found) << "\n";
    if (check && stale) {
      std::cerr << op.name << ": the stored doc_padding " << tool::padding_literal(op.doc_padding) << " is stale\n";
      status = 1;
    }
  }
  return status;
}

// A generated file, or the part of one between two markers.
struct Generated {
  std::string path;
  std::string text;
  bool between_markers = false;
};

std::vector<Generated> generated(const std::string& root) {
  return {{root + "/docs/api.md", tool::api_reference()},
          {root + "/include/quorvel_sdk_uniffi.h", tool::header_block(), true},
          {root + "/src/ffi/metadata.cpp", tool::metadata_block(), true},
          {root + "/fuzz/operations.txt", tool::operation_list()}};
}

// The file's text with `g` in place, or nothing when the markers are missing.
std::optional<std::string> with_generated(const std::string& current, const Generated& g) {
  if (!g.between_markers) return g.text;
  const auto begin = current.find(tool::kBeginMarker);
  const auto end = current.find(tool::kEndMarker);
  if (begin == std::string::npos || end == std::string::npos || end < begin) return std::nullopt;
  return current.substr(0, begin) + g.text + current.substr(end + tool::kEndMarker.size());
}

int sync(const std::string& root, bool write) {
  int status = 0;
  for (const Generated& g : generated(root)) {
    const std::string current = read_file(g.path).value_or("");
    const auto wanted = with_generated(current, g);
    if (!wanted) {
      std::cerr << g.path << ": the generated part's markers are missing\n";
      status = 1;
    } else if (*wanted != current) {
      if (write) {
        if (!write_file(g.path, *wanted)) {
          std::cerr << g.path << ": cannot write\n";
          status = 1;
        }
      } else {
        std::cerr << g.path << " differs from the interface table; run `qsdk_iface write <source-dir>`\n";
        status = 1;
      }
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "padding" && args.size() <= 2)
    return padding(args.size() == 2 && args[1] == "--check");
  if (args.size() == 2 && (args[0] == "write" || args[0] == "check")) return sync(args[1], args[0] == "write");
  std::cerr << "usage: qsdk_iface padding [--check] | write <source-dir> | check <source-dir>\n";
  return 2;
}
