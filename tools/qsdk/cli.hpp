// The command line: help, argument parsing, the call and its report.
#pragma once

#include <istream>
#include <ostream>
#include <span>
#include <string_view>

namespace qsdk::cli {

// Exit statuses: the operation's answer, its SdkError, or anything else
// (an internal failure of the library, an unusable library, a usage error).
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitFailure = 2;

int run(std::span<const std::string_view> args, std::ostream& out, std::ostream& err, std::istream& in);

}  // namespace qsdk::cli
