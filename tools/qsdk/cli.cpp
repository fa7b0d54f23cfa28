#include "cli.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "commands.hpp"
#include "wire.hpp"

namespace qsdk::cli {

namespace {

constexpr std::size_t kWidth = 100;

// Appends the words wrapped at kWidth, every line indented by `indent`
// spaces except the first, which continues after `first_column` characters.
// Help text grows by append() rather than `"literal" + std::string`, which
// GCC 12 at -O3 inlines into a false -Wrestrict.
void wrap_words(std::string& out, const std::vector<std::string>& words, std::size_t indent, std::size_t first_column) {
  std::size_t column = first_column;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && column + 1 + words[i].size() > kWidth) {
      out.append("\n").append(indent, ' ');
      column = indent;
    } else if (i > 0) {
      out += ' ';
      ++column;
    }
    out += words[i];
    column += words[i].size();
  }
  out += '\n';
}

std::vector<std::string> words_of(std::string_view text) {
  std::vector<std::string> words;
  for (std::size_t end; !text.empty(); text.remove_prefix(std::min(end + 1, text.size()))) {
    end = std::min(text.find(' '), text.size());
    words.emplace_back(text.substr(0, end));
  }
  return words;
}

void wrap(std::string& out, std::string_view text, std::size_t indent, std::size_t first_column) {
  wrap_words(out, words_of(text), indent, first_column);
}

// The first sentence of an operation's documentation.
std::string_view summary(std::string_view doc) {
  const std::size_t stop = doc.find(". ");
  return stop == std::string_view::npos ? doc : doc.substr(0, stop + 1);
}

std::string_view type_name(iface::Ty type) {
  switch (type) {
    case iface::Ty::U64: return "u64";
    case iface::Ty::Bool: return "bool";
    case iface::Ty::String: return "text";
    case iface::Ty::Bytes: return "bytes (printed as hex)";
    case iface::Ty::Deed: return "Deed (printed as a JSON object)";
    case iface::Ty::Claims: return "Claims (printed as a JSON object)";
    case iface::Ty::AppKey: return "AppKey (printed as a JSON object)";
    case iface::Ty::Pkce: return "Pkce (printed as a JSON object)";
    default: return "?";
  }
}

std::string tool_help() {
  std::string out =
      "qsdk: the operations of libquorvel_sdk_uniffi on the command line.\n\n"
      "Usage: qsdk <subcommand> --<flag> <value> ...\n"
      "       qsdk <subcommand> --help\n"
      "       qsdk --version\n\nSubcommands:\n";
  std::size_t width = 0;
  for (const Command& cmd : commands()) width = std::max(width, cmd.name.size());
  for (const Command& cmd : commands()) {
    out += "  " + cmd.name + std::string(width - cmd.name.size() + 2, ' ');
    wrap(out, summary(cmd.op().doc), width + 4, width + 4);
  }
  out +=
      "\nTexts print as they are, byte arrays as hex, booleans as true or false, records as JSON objects.\n"
      "Exit status: 0 success; 1 the library refused (SdkError, on standard error); 2 an internal failure\n"
      "of the library, a library that cannot be used, or a usage error.\n"
      "Secret arguments (keys, seeds) may be given as - to read them from standard input, or as @FILE to\n"
      "read them from a file, so that they appear neither in the process list nor in the shell history;\n"
      "one trailing line ending is removed.\n"
      "The library is $QUORVEL_SDK_UNIFFI_LIB when set; else libquorvel_sdk_uniffi.so.0 (or .so) next to\n"
      "this program; else libquorvel_sdk_uniffi.so.0 wherever the system's loader finds it.\n";
  return out;
}

// The usage line's items; a flag and its placeholder never split.
std::vector<std::string> usage_items(const Command& cmd) {
  std::vector<std::string> items{"qsdk", cmd.name};
  for (const Flag& flag : cmd.flags) {
    const Syntax syntax = syntax_of(flag);
    std::string item = syntax.required ? "--" : "[--";
    item += flag.name;
    if (!syntax.placeholder.empty()) item.append(" ").append(syntax.placeholder);
    if (!syntax.required) item += ']';
    items.push_back(std::move(item));
  }
  return items;
}

std::string command_help(const Command& cmd) {
  std::string out = "Usage: ";
  wrap_words(out, usage_items(cmd), 7, 7);
  out += '\n';
  wrap(out, cmd.op().doc, 0, 0);
  if (!cmd.flags.empty()) out += "\nFlags:\n";
  for (const Flag& flag : cmd.flags) {
    const Syntax syntax = syntax_of(flag);
    std::string head = "  --" + flag.name;
    if (!syntax.placeholder.empty()) head.append(" ").append(syntax.placeholder);
    out += head;
    if (head.size() >= 30) out += '\n';  // the text starts below a long flag
    out.append(head.size() < 30 ? 30 - head.size() : 30, ' ');
    std::vector<std::string> words = words_of(help_of(flag));
    words.push_back("(argument " + std::string(flag.arg.name) + ")");  // never split
    wrap_words(out, words, 30, 30);
  }
  out += "\nResult: " + std::string(type_name(cmd.op().result)) + ".\n";
  out += cmd.op().throws ? "Refusals: SdkError, exit status 1.\n" : "Refusals: none; only internal failures (exit 2).\n";
  return out;
}

bool asks_for_help(std::string_view arg) { return arg == "--help" || arg == "-h"; }

int usage_error(std::ostream& err, std::string_view problem, std::string_view hint) {
  err << "qsdk: " << problem << "\n" << "Try '" << hint << "'.\n";
  return kExitFailure;
}

// The library's release is read from its file name, since it exports none;
// the contract version is the one it reports.
int version(std::ostream& out, std::ostream& err) {
  out << "qsdk " << QSDK_VERSION << "\n";
  try {
    const Library lib = Library::open();
    const auto release = lib.version();
    out << "library " << release.value_or("unknown") << " (" << lib.path()
        << (release ? ": read from the file name" : ": the file name carries no version") << ")\n";
    out << "contract " << lib.contract_version() << " (qsdk speaks " << iface::kContractVersion << ")\n";
    return kExitOk;
  } catch (const LoadError& e) {
    err << "qsdk: " << e.what() << "\n";
    return kExitFailure;
  }
}

int call(const Command& cmd, const std::vector<Encoded>& args, std::ostream& out, std::ostream& err) {
  try {
    const Library lib = Library::open();
    const Invocation done = invoke(lib, cmd, args);
    switch (done.outcome.kind) {
      case CallOutcome::Kind::Ok: out << done.rendered; return kExitOk;
      case CallOutcome::Kind::Sdk: err << "SdkError.Sdk: " << done.outcome.message << "\n"; return kExitRefused;
      case CallOutcome::Kind::InsecureOrigin:
        err << "SdkError.InsecureOrigin: " << done.outcome.message << "\n";
        return kExitRefused;
      case CallOutcome::Kind::Internal: err << "internal failure: " << done.outcome.message << "\n"; return kExitFailure;
    }
  } catch (const LoadError& e) {
    err << "qsdk: " << e.what() << "\n";
  } catch (const WireError& e) {
    err << "internal failure: " << e.what() << "\n";
  }
  return kExitFailure;
}

}  // namespace

int run(std::span<const std::string_view> args, std::ostream& out, std::ostream& err, std::istream& in) {
  if (args.empty()) return usage_error(err, "a subcommand is needed", "qsdk --help");
  if (asks_for_help(args[0]) || args[0] == "help") {
    out << tool_help();
    return kExitOk;
  }
  if (args[0] == "--version") return version(out, err);
  const Command* cmd = find_command(args[0]);
  if (cmd == nullptr) return usage_error(err, "unknown subcommand '" + std::string(args[0]) + "'", "qsdk --help");
  const auto flags = args.subspan(1);
  if (std::any_of(flags.begin(), flags.end(), asks_for_help)) {
    out << command_help(*cmd);
    return kExitOk;
  }
  std::vector<Encoded> encoded;
  try {
    encoded = parse_flags(*cmd, flags, in);
  } catch (const UsageError& e) {
    return usage_error(err, e.what(), "qsdk " + cmd->name + " --help");
  }
  return call(*cmd, encoded, out, err);
}

}  // namespace qsdk::cli
