// What the command line says about a text argument beyond its declared type:
// the hex form the library accepts for it, and whether it is a secret. The
// library decodes each hex argument by a rule of its own (no prefix, one
// optional prefix, or any number of them), so the rule is stated per
// argument, in this one table.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qsdk::cli {

enum class Prefix {
  None,        // a leading 0x is refused as a non-hex character
  One,         // one optional 0x or 0X
  Every,       // every leading lower-case 0x is removed
  NotDecoded,  // carried as text; the library does not decode it
};

struct ArgNote {
  std::string_view op;
  std::string_view arg;
  std::string_view length;  // what the value holds, and how many digits
  Prefix prefix;
  // A secret may come from standard input or a file rather than the command
  // line, where the process list and the shell history would show it.
  bool secret = false;
};

std::span<const ArgNote> arg_notes();
const ArgNote* find_note(std::string_view op, std::string_view arg);
// The note as the flag's help states it.
std::string describe(const ArgNote& note);

}  // namespace qsdk::cli
