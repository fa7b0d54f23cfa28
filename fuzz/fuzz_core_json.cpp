// The JSON layer: the canonical text of any accepted value is a fixed point
// (re-parsing it gives the same value and the same text), the capability
// forms (grant lists, links, chains) settle after one write, and reading a
// text straight into its canonical form gives what parsing and writing give,
// failures and their positions included.
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
  const auto direct = json::canonical_text<json::Value>(text);
  if (value.has_value() != direct.has_value()) violated("canonical reading disagrees with parsing", text);
  if (!value) {
    if (value.error() != direct.error()) violated("canonical reading fails otherwise", direct.error());
    return;
  }
  const std::string canonical = json::to_text(*value);
  if (*direct != canonical) violated("canonical reading writes otherwise", *direct);
  const auto again = json::parse(canonical);
  if (!again) violated("canonical text refused", canonical);
  if (!(*again == *value)) violated("canonical text reads back as another value", canonical);
  if (json::to_text(*again) != canonical) violated("canonical text is not a fixed point", canonical);
}

// parse -> write -> parse -> write: the second text equals the first, and the
// value read back equals the value first read.
template <class Parse, class Write, class Canonical>
void check_form(std::string_view text, Parse parse, Write write, Canonical canonical_of, const char* what) {
  const auto first = parse(text);
  const auto direct = canonical_of(text);
  if (first.has_value() != direct.has_value()) violated(what, "canonical reading disagrees with parsing");
  if (!first) {
    if (first.error().kind() != core::ErrorKind::Input) violated(what, "refusal of another class than input");
    if (first.error().text() != direct.error().text()) violated(what, direct.error().text());
    return;
  }
  if (*direct != write(*first)) violated(what, *direct);
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
  check_form(text, core::parse_grant_list, core::write_grant_list, core::canonical_grant_list, "grant list");
  check_form(text, core::parse_delegation, core::write_delegation, core::canonical_delegation, "delegation link");
  check_form(text, core::parse_delegation_chain, core::write_delegation_chain, core::canonical_delegation_chain,
             "delegation chain");
  return 0;
}
