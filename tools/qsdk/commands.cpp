#include "commands.hpp"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <set>
#include <type_traits>
#include <utility>

#include "json_writer.hpp"
#include "secret_input.hpp"
#include "wire.hpp"

namespace qsdk::cli {

using iface::Ty;

namespace {

// Flags are the declared argument names with dashes, except these, which
// read better on a command line.
constexpr std::pair<std::string_view, std::string_view> kFlagRenames[] = {
    {"tenant_id", "tenant"},
};

std::string dashed(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '_', '-');
  return out;
}

std::string flag_name(std::string_view arg) {
  for (const auto& [from, to] : kFlagRenames)
    if (from == arg) return std::string(to);
  return dashed(arg);
}

// The library takes a byte array as bytes; the command line reads it as hex,
// with the one optional prefix JSON-RPC answers carry (decode_bytes).
constexpr iface::ZeroX kByteArrayZeroX = iface::ZeroX::OneOptional;

// A secret's value may name a source ("-", "@FILE") only because no hex
// text can look like one.
consteval bool every_secret_is_hex() {
  for (const iface::Op& op : iface::kOps)
    for (std::size_t a = 0; a < op.argc; ++a)
      if (op.args[a].secret && (op.args[a].type != Ty::String || op.args[a].zero_x == iface::ZeroX::NotHex)) return false;
  return true;
}
static_assert(every_secret_is_hex(), "a secret argument must be hex text");

std::vector<Command> build_commands() {
  std::vector<Command> out;
  for (std::size_t i = 0; i < iface::kOps.size(); ++i) {
    const iface::Op& op = iface::kOps[i];
    Command cmd{i, dashed(op.name), {}};
    for (std::size_t a = 0; a < op.argc; ++a)
      cmd.flags.push_back({flag_name(op.args[a].name), op.args[a],
                           op.args[a].type == Ty::Bytes ? kByteArrayZeroX : op.args[a].zero_x});
    out.push_back(std::move(cmd));
  }
  return out;
}

const iface::Record& record_of(Ty type) {
  switch (type) {
    case Ty::Deed: return iface::kDeed;
    case Ty::Claims: return iface::kClaims;
    case Ty::AppKey: return iface::kAppKey;
    case Ty::Pkce: return iface::kPkce;
    default: throw std::logic_error("not a record type");
  }
}

std::uint64_t parse_u64(std::string_view text) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    throw UsageError("expected an unsigned 64-bit decimal number, got '" + std::string(text) + "'");
  return v;
}

std::string read_all(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A byte array as JSON-RPC answers carry it: hex, one optional 0x or 0X.
std::string decode_bytes(std::string_view text) {
  const std::size_t prefix = text.starts_with("0x") || text.starts_with("0X") ? 2 : 0;
  auto bytes = hex_decode(text.substr(prefix), prefix);
  if (!bytes) throw UsageError(bytes.error());
  std::string buffer;
  put_sized(buffer, *bytes);
  return buffer;
}

Encoded encode_secret(std::string_view given, std::istream& in) {
  if (!names_a_source(given)) return {0, std::string(given), true};
  auto text = read_secret(given, in);
  if (!text) throw UsageError(text.error());
  return {0, std::move(*text), true};
}

Encoded encode(const Flag& flag, const std::optional<std::string_view>& given, std::istream& in) {
  switch (flag.arg.type) {
    case Ty::U64: return {parse_u64(*given)};
    case Ty::Bool: return {given ? 1u : 0u};
    case Ty::String:
      if (flag.arg.secret) return encode_secret(*given, in);
      return {0, std::string(*given)};
    case Ty::Bytes: return {0, decode_bytes(*given)};
    case Ty::OptString: {
      std::string buffer;
      put_u8(buffer, given ? 1 : 0);
      if (given) put_sized(buffer, *given);
      return {0, std::move(buffer)};
    }
    case Ty::Deed: return {0, record_from_json(iface::kDeed, *given == "-" ? read_all(in) : std::string(*given))};
    default: throw std::logic_error("no operation takes this type as an argument");
  }
}

// ---- records as JSON

std::string_view text_of(const rapidjson::Value& v) { return {v.GetString(), v.GetStringLength()}; }

void check_members(const iface::Record& record, const rapidjson::Value& object) {
  std::set<std::string_view> seen;
  for (const auto& m : object.GetObject()) {
    const std::string_view name = text_of(m.name);
    const auto* fields_end = record.fields.begin() + record.fieldc;
    if (std::find_if(record.fields.begin(), fields_end, [&](const iface::Field& f) { return f.name == name; }) == fields_end)
      throw UsageError("unknown field `" + std::string(name) + "`");
    if (!seen.insert(name).second) throw UsageError("duplicate field `" + std::string(name) + "`");
  }
}

void encode_field(std::string& out, const iface::Field& field, const rapidjson::Value* value) {
  const std::string name(field.name);
  const bool optional = field.type == Ty::OptString || field.type == Ty::OptU64;
  if (optional) {
    const bool present = value != nullptr && !value->IsNull();
    put_u8(out, present ? 1 : 0);
    if (!present) return;
  } else if (value == nullptr) {
    throw UsageError("missing field `" + name + "`");
  }
  switch (field.type) {
    case Ty::U8:
      if (!value->IsUint() || value->GetUint() > 255) throw UsageError("field `" + name + "` must be 0 to 255");
      return put_u8(out, static_cast<std::uint8_t>(value->GetUint()));
    case Ty::U64:
    case Ty::OptU64:
      if (!value->IsUint64()) throw UsageError("field `" + name + "` must be an unsigned 64-bit integer");
      return put_u64(out, value->GetUint64());
    case Ty::String:
    case Ty::OptString:
      if (!value->IsString()) throw UsageError("field `" + name + "` must be a string");
      return put_sized(out, text_of(*value));
    default: throw std::logic_error("records hold no such field type");
  }
}

}  // namespace

const std::vector<Command>& commands() {
  static const std::vector<Command> all = build_commands();
  return all;
}

const Command* find_command(std::string_view name) {
  for (const Command& cmd : commands())
    if (cmd.name == name) return &cmd;
  return nullptr;
}

Encoded::~Encoded() {
  if (secret && buffer) wipe(*buffer);
}

Syntax syntax_of(const Flag& flag) {
  const bool hex = flag.zero_x != iface::ZeroX::NotHex;
  switch (flag.arg.type) {
    case Ty::U64: return {"<u64>", true, "an unsigned 64-bit decimal number"};
    case Ty::Bool: return {"", false, "a switch; false when absent"};
    case Ty::String:
      if (flag.arg.secret) return {"<hex|-|@FILE>", true, "a text"};
      return {hex ? "<hex>" : "<text>", true, "a text"};
    case Ty::Bytes: return {"<hex>", true, "bytes"};
    case Ty::OptString: return {hex ? "<hex>" : "<text>", false, "a text"};
    case Ty::Deed: return {"<deed-json>", true, "a deed as the JSON object mint commands print, or - to read it from standard input"};
    default: throw std::logic_error("no operation takes this type as an argument");
  }
}

std::string help_of(const Flag& flag) {
  std::string out(flag.arg.format.empty() ? syntax_of(flag).meaning : flag.arg.format);
  if (const std::string_view rule = iface::zero_x_rule(flag.zero_x); !rule.empty()) out.append("; ").append(rule);
  if (flag.arg.type == Ty::OptString) out += "; absent when not given";
  if (flag.arg.secret) out += "; - reads it from standard input, @FILE from a file, keeping it off the command line";
  return out;
}

std::vector<Encoded> parse_flags(const Command& cmd, std::span<const std::string_view> flags, std::istream& in) {
  std::vector<std::optional<std::string_view>> given(cmd.flags.size());
  for (std::size_t i = 0; i < flags.size(); ++i) {
    std::string_view name = flags[i];
    if (!name.starts_with("--")) throw UsageError("unexpected argument '" + std::string(name) + "'");
    name.remove_prefix(2);
    std::optional<std::string_view> value;
    if (const auto eq = name.find('='); eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const auto flag = std::find_if(cmd.flags.begin(), cmd.flags.end(), [&](const Flag& f) { return f.name == name; });
    if (flag == cmd.flags.end()) throw UsageError("unknown flag --" + std::string(name));
    auto& slot = given[static_cast<std::size_t>(flag - cmd.flags.begin())];
    if (slot) throw UsageError("--" + flag->name + " given twice");
    if (syntax_of(*flag).placeholder.empty()) {
      if (value) throw UsageError("--" + flag->name + " takes no value");
      value = "";
    } else if (!value) {
      if (i + 1 == flags.size()) throw UsageError("--" + flag->name + " needs a value");
      value = flags[++i];
    }
    slot = value;
  }
  std::vector<Encoded> out;
  for (std::size_t k = 0; k < cmd.flags.size(); ++k) {
    const Flag& flag = cmd.flags[k];
    const Syntax syntax = syntax_of(flag);
    if (!given[k] && syntax.required) throw UsageError("missing --" + flag.name + " " + std::string(syntax.placeholder));
    try {
      out.push_back(encode(flag, given[k], in));
    } catch (const UsageError& e) {
      throw UsageError("--" + flag.name + ": " + e.what());
    }
  }
  return out;
}

std::string record_from_json(const iface::Record& record, std::string_view json) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag>(json.data(), json.size());
  if (doc.HasParseError())
    throw UsageError(std::string(rapidjson::GetParseError_En(doc.GetParseError())) + " at offset " +
                     std::to_string(doc.GetErrorOffset()));
  if (!doc.IsObject()) throw UsageError("expected a JSON object with the fields of " + std::string(record.name));
  check_members(record, doc);
  std::string out;
  for (std::size_t i = 0; i < record.fieldc; ++i) {
    const iface::Field& field = record.fields[i];
    const auto member = doc.FindMember(rapidjson::Value(field.name.data(), static_cast<rapidjson::SizeType>(field.name.size())));
    encode_field(out, field, member == doc.MemberEnd() ? nullptr : &member->value);
  }
  return out;
}

std::string record_to_json(const iface::Record& record, std::string_view bytes) {
  WireReader reader(bytes);
  JsonObjectWriter json;
  for (std::size_t i = 0; i < record.fieldc; ++i) {
    const iface::Field& field = record.fields[i];
    const bool optional = field.type == Ty::OptString || field.type == Ty::OptU64;
    if (optional) {
      const std::uint8_t tag = reader.u8();
      if (tag > 1) throw WireError("unexpected tag byte for Option");
      if (tag == 0) {
        json.null(field.name);
        continue;
      }
    }
    switch (field.type) {
      case Ty::U8: json.number(field.name, reader.u8()); break;
      case Ty::U64:
      case Ty::OptU64: json.number(field.name, reader.u64()); break;
      case Ty::String:
      case Ty::OptString: json.string(field.name, reader.sized()); break;
      default: throw std::logic_error("records hold no such field type");
    }
  }
  reader.finish();
  return json.finish();
}

// ---- the generic call

namespace {

// A result as the C function returned it: a scalar, or a buffer's bytes.
struct Raw {
  std::uint64_t scalar = 0;
  std::string bytes;
};

template <Ty T>
iface::CType<T> lower(const Encoded& arg, PendingBuffers& pending) {
  if constexpr (T == Ty::U64) return arg.scalar;
  else if constexpr (T == Ty::Bool) return static_cast<std::int8_t>(arg.scalar);
  else return pending.add(*arg.buffer);
}

template <class R>
Raw keep(const Library& lib, R result) {
  if constexpr (std::is_same_v<R, RustBuffer>) return {0, result.data == nullptr ? std::string() : lib.take(result)};
  else return {static_cast<std::make_unsigned_t<R>>(result), {}};
}

template <std::size_t I, std::size_t... J>
Raw call(const Library& lib, [[maybe_unused]] const std::vector<Encoded>& args, RustCallStatus& status,
         std::index_sequence<J...>) {
  auto* fn = reinterpret_cast<iface::CFn<I>>(lib.operation(iface::kOps[I]));
  PendingBuffers pending(lib);
  auto result = fn(lower<iface::kOps[I].args[J].type>(args[J], pending)..., &status);
  pending.consumed();  // the call took every argument buffer, whatever its outcome
  return keep(lib, result);
}

using Invoker = Raw (*)(const Library&, const std::vector<Encoded>&, RustCallStatus&);

template <std::size_t I>
Raw call_operation(const Library& lib, const std::vector<Encoded>& args, RustCallStatus& status) {
  return call<I>(lib, args, status, std::make_index_sequence<iface::kOps[I].argc>{});
}

template <std::size_t... I>
constexpr std::array<Invoker, sizeof...(I)> make_invokers(std::index_sequence<I...>) {
  return {&call_operation<I>...};
}

constexpr auto kInvokers = make_invokers(std::make_index_sequence<iface::kOps.size()>{});

std::string render(Ty type, const Raw& raw) {
  switch (type) {
    case Ty::String: return raw.bytes + "\n";
    case Ty::U64: return std::to_string(raw.scalar) + "\n";
    case Ty::Bool:
      if (raw.scalar > 1) throw WireError("unexpected byte for Boolean");
      return raw.scalar == 1 ? "true\n" : "false\n";
    case Ty::Bytes: {
      WireReader reader(raw.bytes);
      const std::string bytes = reader.sized();
      reader.finish();
      return hex_encode(bytes) + "\n";
    }
    default: return record_to_json(record_of(type), raw.bytes);
  }
}

}  // namespace

Invocation invoke(const Library& lib, const Command& cmd, const std::vector<Encoded>& args) {
  RustCallStatus status{};
  const Raw raw = kInvokers[cmd.index](lib, args, status);
  Invocation out{lib.outcome(status, cmd.op().throws), {}};
  if (out.outcome.kind == CallOutcome::Kind::Ok) out.rendered = render(cmd.op().result, raw);
  return out;
}

}  // namespace qsdk::cli
