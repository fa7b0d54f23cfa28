// A small JSON writer for the records this tool prints. Strings are escaped
// so that the output is always valid JSON, whatever bytes a field carries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qsdk::cli {

// A JSON string literal: quote, backslash and control characters escaped,
// valid UTF-8 copied as it is, and each byte of an invalid sequence written
// as U+FFFD so that the output stays valid UTF-8.
std::string json_string(std::string_view text);

// One object, one member per line, indented by two spaces.
class JsonObjectWriter {
 public:
  void string(std::string_view name, std::string_view value) { member(name, json_string(value)); }
  void number(std::string_view name, std::uint64_t value) { member(name, std::to_string(value)); }
  void null(std::string_view name) { member(name, "null"); }
  // The finished text, ending with a line feed.
  std::string finish() const;

 private:
  void member(std::string_view name, std::string_view json_value);
  std::string body_;
};

}  // namespace qsdk::cli
