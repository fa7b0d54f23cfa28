// Secret arguments read from standard input ("-") or a file ("@FILE") rather
// than taken from the command line, which the process list and the shell
// history would show; and the wiping of the tool's copies once used.
#pragma once

#include <expected>
#include <istream>
#include <string>
#include <string_view>

namespace qsdk::cli {

// Whether an argument value names a source instead of being the secret:
// neither "-" nor a leading "@" can be hex.
bool names_a_source(std::string_view value);

// The secret from the source `value` names, one trailing line ending
// removed; or why it cannot be read.
std::expected<std::string, std::string> read_secret(std::string_view value, std::istream& in);

// Overwrites every byte the string owns, spare capacity included, then
// empties it.
void wipe(std::string& text);

}  // namespace qsdk::cli
