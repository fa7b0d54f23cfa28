// The JSON layer: the canonical text of any accepted value is a fixed point
// (re-parsing it gives the same value and the same text), and the capability
// forms (grant lists, links, chains) settle after one write.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "capability/capability_json.hpp"
#include "json/record.hpp"

namespace {

namespace core = qsdk::core;
namespace json = qsdk::core::json;

[[noreturn]] void violated(const char* what, std::string_view detail) {
  std::fprintf(stderr, "invariant violated: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

void check_value(std::string_view text) {
  const auto value = json::parse(text);
  if (!value) return;
  const std::string canonical = json::to_text(*value);
  const auto again = json::parse(canonical);
  if (!again) violated("canonical text refused", canonical);
  if (!(*again == *value)) violated("canonical text reads back as another value", canonical);
  if (json::to_text(*again) != canonical) violated("canonical text is not a fixed point", canonical);
}

// parse -> write -> parse -> write: the second text equals the first, and the
// value read back equals the value first read.
template <class Parse, class Write>
void check_form(std::string_view text, Parse parse, Write write, const char* what) {
  const auto first = parse(text);
  if (!first) {
    if (first.error().kind() != core::ErrorKind::Input) violated(what, "refusal of another class than input");
    return;
  }
  const std::string canonical = write(*first);
  const auto second = parse(canonical);
  if (!second) violated(what, canonical);
  if (!(*second == *first)) violated(what, canonical);
  if (write(*second) != canonical) violated(what, canonical);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_value(text);
  check_form(text, core::parse_grant_list, core::write_grant_list, "grant list");
  check_form(text, core::parse_delegation, core::write_delegation, "delegation link");
  check_form(text, core::parse_delegation_chain, core::write_delegation_chain, "delegation chain");
  return 0;
}
