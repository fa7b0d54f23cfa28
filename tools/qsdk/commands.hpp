// The subcommands: one per operation of the interface table, its flags named
// after the declared arguments, and one generic path that turns flags into
// C arguments, calls the export and renders the result.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ffi/interface.hpp"
#include "library.hpp"

namespace qsdk::cli {

// The command line is wrong; nothing was called.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Flag {
  std::string name;  // without the leading "--"
  iface::Arg arg;    // the declared argument it fills
  // How its hex is read: the argument's own rule, or for a byte array,
  // which the library takes as bytes, the command line's.
  iface::ZeroX zero_x = iface::ZeroX::NotHex;
};

struct Command {
  std::size_t index = 0;  // into iface::kOps
  std::string name;       // the operation's name with dashes
  std::vector<Flag> flags;
  const iface::Op& op() const { return iface::kOps[index]; }
};

const std::vector<Command>& commands();
const Command* find_command(std::string_view name);

// How a flag is written and whether it must be given.
struct Syntax {
  std::string_view placeholder;  // empty for a switch
  bool required;
  std::string_view meaning;
};
Syntax syntax_of(const Flag& flag);
// What the flag's help says of its value: the declared format, the prefix
// rule, and where a secret may come from.
std::string help_of(const Flag& flag);

// An argument in the form the export takes it: a scalar, or the bytes of
// the buffer that carries it. A secret's buffer is wiped when released; it
// moves but is never copied.
struct Encoded {
  std::uint64_t scalar = 0;
  std::optional<std::string> buffer;
  bool secret = false;

  Encoded(std::uint64_t s = 0, std::optional<std::string> b = std::nullopt, bool is_secret = false)
      : scalar(s), buffer(std::move(b)), secret(is_secret) {}
  Encoded(Encoded&&) noexcept = default;
  Encoded& operator=(Encoded&&) = delete;
  ~Encoded();
};

// The command's arguments in declared order, from flags after the subcommand.
// A deed may be read from `in` when its flag says "-", a secret when its flag
// says "-" or "@FILE".
std::vector<Encoded> parse_flags(const Command& cmd, std::span<const std::string_view> flags, std::istream& in);

// A record's nested wire form from a JSON object with its fields, and back.
std::string record_from_json(const iface::Record& record, std::string_view json);
std::string record_to_json(const iface::Record& record, std::string_view bytes);

struct Invocation {
  CallOutcome outcome;
  std::string rendered;  // the result as printed, when the call succeeded
};

Invocation invoke(const Library& lib, const Command& cmd, const std::vector<Encoded>& args);

}  // namespace qsdk::cli
