// The URL parser: a parsed URL's serialisation parses again to the same
// serialisation, and an issuer that parses always yields an authorisation URL
// that is itself a fixed point and keeps the request's last pair last.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "oauth/authorize_url.hpp"
#include "url/url.hpp"

namespace {

namespace core = qsdk::core;
namespace url = qsdk::core::url;

[[noreturn]] void violated(const char* what, std::string_view detail) {
  std::fprintf(stderr, "invariant violated: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// Returns the serialisation after checking that it re-parses to itself.
std::string fixed_point(const url::Url& u, const char* what) {
  const std::string href = u.href();
  const auto again = url::parse(href);
  if (!again) violated(what, href);
  if (again->href() != href) violated(what, href + "\n" + again->href());
  return href;
}

void check_authorize_url(std::string_view issuer) {
  // Caller values are the issuer text itself: arbitrary bytes, form-encoded.
  const core::AuthorizeParams params{issuer, issuer, "s&t=u", issuer, "c#h"};
  const auto built = core::build_authorize_url(issuer, params);
  if (!built) violated("authorisation URL refused for a parsable issuer", issuer);
  const auto parsed = url::parse(*built);
  if (!parsed) violated("authorisation URL does not parse", *built);
  fixed_point(*parsed, "authorisation URL is not a fixed point");
  constexpr std::string_view kLast = "code_challenge_method=S256";
  const std::string& query = parsed->query.value_or("");
  if (query.size() < kLast.size() || query.compare(query.size() - kLast.size(), kLast.size(), kLast) != 0)
    violated("a caller value changed the request's pairs", *built);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = url::parse(text);
  if (!parsed) return 0;
  fixed_point(*parsed, "serialisation is not a fixed point");
  check_authorize_url(text);
  return 0;
}
