// Finds the run of spaces and tabs that, appended to an operation's
// documentation, makes its metadata blob hash to its declared checksum.
#pragma once

#include <optional>
#include <string>

#include "ffi/interface.hpp"

namespace qsdk::iface_tool {

// The shortest such run; among runs of one length, the first in the order
// where a space sorts before a tab, symbol by symbol. Empty when none of up
// to 28 symbols exists.
std::optional<std::string> find_padding(const ffi::iface::Op& op);

// The run as a C++ string literal, tabs written as \t.
std::string padding_literal(std::string_view padding);

}  // namespace qsdk::iface_tool
