#include "reference.hpp"

#include <cctype>
#include <string>

#include "ffi/interface.hpp"

namespace qsdk::iface_tool {
namespace {

namespace iface = ffi::iface;
using iface::Ty;

constexpr std::string_view kFnPrefix = "uniffi_quorvel_sdk_uniffi_fn_func_";
constexpr std::string_view kChecksumPrefix = "uniffi_quorvel_sdk_uniffi_checksum_func_";
constexpr std::string_view kMetaPrefix = "UNIFFI_META_QUORVEL_SDK_UNIFFI_";

std::string_view c_type(Ty t) {
  switch (t) {
    case Ty::U64: return "uint64_t";
    case Ty::Bool: return "int8_t";
    default: return "RustBuffer";
  }
}

std::string_view type_name(Ty t) {
  switch (t) {
    case Ty::U8: return "u8";
    case Ty::U64: return "u64";
    case Ty::Bool: return "bool";
    case Ty::String: return "String";
    case Ty::Bytes: return "byte array";
    case Ty::OptString: return "optional String";
    case Ty::OptU64: return "optional u64";
    case Ty::Deed: return "Deed";
    case Ty::Claims: return "Claims";
    case Ty::AppKey: return "AppKey";
    case Ty::Pkce: return "Pkce";
  }
  return "?";
}

// The nested form inside a record's buffer.
std::string_view wire_form(Ty t) {
  switch (t) {
    case Ty::U8: return "1 byte";
    case Ty::U64: return "8 bytes, big-endian";
    case Ty::String: return "i32 big-endian byte length, then UTF-8";
    case Ty::OptString: return "tag byte 0 (absent) or 1, then the String";
    case Ty::OptU64: return "tag byte 0 (absent) or 1, then 8 bytes big-endian";
    default: return "?";
  }
}

// The format facts of one argument, empty when its type says it all.
std::string format_of(const iface::Arg& a) {
  std::string out(a.format);
  const std::string_view rule = iface::zero_x_rule(a.zero_x);
  if (!rule.empty()) out += out.empty() ? std::string(rule) : "; " + std::string(rule);
  if (a.secret) out += "; secret";
  return out;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string c_declaration(const iface::Op& op) {
  std::string out = std::string(c_type(op.result)) + " " + std::string(kFnPrefix) + std::string(op.name) + "(";
  for (std::size_t i = 0; i < op.argc; ++i)
    out += std::string(c_type(op.args[i].type)) + " " + std::string(op.args[i].name) + ", ";
  return out + "RustCallStatus* status);";
}

// Words wrapped into a C comment of at most 110 columns.
std::string c_comment(std::string_view text) {
  constexpr std::size_t kWidth = 110;
  std::string out = "/*";
  std::size_t column = 2;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(pos, end - pos);
    if (column + 1 + word.size() > kWidth) {
      out += "\n *";
      column = 2;
    }
    out += " ";
    out += word;
    column += 1 + word.size();
    pos = end + 1;
  }
  return out + " */\n";
}

std::string contract(const iface::Op& op) {
  std::string out = std::string(op.name) + "(";
  for (std::size_t i = 0; i < op.argc; ++i) {
    if (i > 0) out += ", ";
    out += op.args[i].name;
    const std::string format = format_of(op.args[i]);
    if (!format.empty()) out += " [" + format + "]";
  }
  out += ") -> " + std::string(op.returns) + ". Refuses: " + std::string(op.refuses) + ".";
  return out;
}

std::string record_comment(const iface::Record& r) {
  std::string out = "/* " + std::string(r.name) + ", fields in wire order:";
  for (std::size_t i = 0; i < r.fieldc; ++i)
    out += "\n *   " + std::string(r.fields[i].name) + ": " + std::string(type_name(r.fields[i].type));
  return out + "\n */\n";
}

}  // namespace

std::string header_block() {
  std::string out(kBeginMarker);
  out += "\n/* Operations, in table order. Each contract lists the arguments, in brackets their format where the\n"
         " * type does not say it all, then the result and the refusals (SdkError, code 1) by message prefix. */\n";
  for (const iface::Op& op : iface::kOps) {
    out += '\n';
    out += c_comment(contract(op));
    out += c_declaration(op) + "\n";
  }
  out += "\n/* Checksums: one per operation, identifying its declared signature. */\n";
  for (const iface::Op& op : iface::kOps)
    out += "uint16_t " + std::string(kChecksumPrefix) + std::string(op.name) + "(void);\n";
  out += "\n/* Records: the buffer of a record result or argument holds its fields one after another, each in\n"
         " * its nested form (u8: 1 byte; u64: 8 bytes big-endian; String: i32 big-endian length and UTF-8;\n"
         " * optional: tag byte 0 absent or 1 present, then the value). */\n";
  for (const iface::Record& r : iface::kRecords) out += record_comment(r);
  // The metadata symbols are declared here with an unknown bound, as hosts see
  // them; the one file that defines them with their exact sizes skips these.
  out += "\n/* Interface metadata: byte arrays the bindings generator reads from the library file's symbol\n"
         " * table, never at run time. */\n#ifndef QUORVEL_SDK_UNIFFI_DEFINING_METADATA\n";
  const auto meta = [&out](const std::string& suffix) { out += "extern const uint8_t " + suffix + "[];\n"; };
  for (const iface::Op& op : iface::kOps) meta(std::string(kMetaPrefix) + "FUNC_" + upper(op.name));
  for (const iface::Record& r : iface::kRecords) meta(std::string(kMetaPrefix) + "RECORD_" + upper(r.name));
  meta(std::string(kMetaPrefix) + "ERROR_" + upper(iface::kErrorName));
  meta("UNIFFI_META_NAMESPACE_QUORVEL_SDK_UNIFFI");
  out += "#endif\n\n";
  out += kEndMarker;
  return out;
}

std::string metadata_block() {
  std::string out(kBeginMarker);
  for (const iface::Op& op : iface::kOps)
    out += "QSDK_FUNC_META(" + upper(op.name) + ", " + std::string(op.name) + ")\n";
  return out + std::string(kEndMarker);
}

std::string api_reference() {
  std::string out =
      "# Interface reference\n\n"
      "Generated from the interface table (`src/ffi/interface.hpp`) by `qsdk_iface write` (tools/iface); "
      "`ctest -R iface_reference` fails when this file, the public header and the table disagree.\n\n"
      "Every operation is exported as `" + std::string(kFnPrefix) + "<name>` and takes its arguments in the "
      "order below, then a `RustCallStatus*`. u64 travels as `uint64_t`, bool as `int8_t` (0 or 1), everything "
      "else as a `RustBuffer`: a top-level String as its bare UTF-8 bytes, a byte array as an i32 big-endian "
      "count and the bytes, optionals and records in the nested forms under [Records](#records). Every buffer "
      "argument is consumed by the call. Hex output is always lower case without a prefix unless stated.\n\n"
      "## Errors\n\n"
      "A refusal sets the status code to 1 and writes `" + std::string(iface::kErrorName) + "` into `error_buf`: "
      "an i32 big-endian variant index, then the message as an i32 big-endian length and UTF-8 bytes.\n\n"
      "| Index | Variant | Message |\n|---|---|---|\n"
      "| 1 | `Sdk` | the full message, its class prefix included: `input: `, `crypto: `, `jwt: `, `bad key: ` or "
      "`claim: `; a few checks of the exported layer give a message without prefix |\n"
      "| 2 | `InsecureOrigin` | the bare text of a refusal by the fail-closed origin policy |\n\n"
      "Code 2 is an internal failure (an argument that cannot be lifted, or an internal fault): `error_buf` "
      "holds the raw UTF-8 message, for a lift failure `Failed to convert arg '<name>':` a line feed and the "
      "reason.\n\n## Operations\n";
  for (const iface::Op& op : iface::kOps) {
    out += "\n### `" + std::string(op.name) + "`\n\n" + std::string(op.doc) + "\n\n";
    if (op.argc == 0) out += "No arguments.\n\n";
    else {
      out += "| # | Argument | Type | Format |\n|---|---|---|---|\n";
      for (std::size_t i = 0; i < op.argc; ++i) {
        const iface::Arg& a = op.args[i];
        out += "| " + std::to_string(i + 1) + " | `" + std::string(a.name) + "` | " + std::string(type_name(a.type)) +
               " | " + format_of(a) + " |\n";
      }
      out += "\n";
    }
    out += "Result: " + std::string(type_name(op.result)) + ", " + std::string(op.returns) + ".\n\n";
    out += "Refuses: " + std::string(op.refuses) + ".\n\n";
    out += "Checksum: " + std::to_string(op.checksum) + ".\n";
  }
  out += "\n## Records\n\nA record's buffer holds its fields in this order, each in its nested form, with no "
         "gaps and no outer length.\n";
  for (const iface::Record& r : iface::kRecords) {
    out += "\n### `" + std::string(r.name) + "`\n\n" + std::string(r.doc) + "\n\n";
    out += "| # | Field | Type | Encoding | Meaning |\n|---|---|---|---|---|\n";
    for (std::size_t i = 0; i < r.fieldc; ++i) {
      const iface::Field& f = r.fields[i];
      out += "| " + std::to_string(i + 1) + " | `" + std::string(f.name) + "` | " + std::string(type_name(f.type)) +
             " | " + std::string(wire_form(f.type)) + " | " + std::string(f.doc) + " |\n";
    }
  }
  return out;
}

// The argument types as the table spells them: the seed generator encodes
// each argument by its type, so it reads them here rather than from source.
std::string_view table_type(Ty t) {
  switch (t) {
    case Ty::U8: return "U8";
    case Ty::U64: return "U64";
    case Ty::Bool: return "Bool";
    case Ty::String: return "String";
    case Ty::Bytes: return "Bytes";
    case Ty::OptString: return "OptString";
    case Ty::OptU64: return "OptU64";
    case Ty::Deed: return "Deed";
    case Ty::Claims: return "Claims";
    case Ty::AppKey: return "AppKey";
    case Ty::Pkce: return "Pkce";
  }
  return "?";
}

std::string operation_list() {
  std::string out;
  for (const iface::Op& op : iface::kOps) {
    out += op.name;
    for (std::size_t i = 0; i < op.argc; ++i) out.append(" ").append(table_type(op.args[i].type));
    out += "\n";
  }
  return out;
}

}  // namespace qsdk::iface_tool
