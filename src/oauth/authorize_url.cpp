#include "oauth/authorize_url.hpp"

#include <array>
#include <utility>

#include "url/url.hpp"

namespace qsdk::core {
namespace {

constexpr std::string_view kAuthorizePath = "/authorize";

}  // namespace

Result<std::string> build_authorize_url(std::string_view issuer, const AuthorizeParams& params) {
  auto parsed = url::parse(issuer);
  if (!parsed) return std::unexpected(CoreError::input(std::string(url::message(parsed.error()))));
  url::Url& u = *parsed;

  // Whatever path the issuer had is dropped, a trailing slash as well as a
  // tenant path: the endpoint is always /authorize at the issuer's root. An
  // opaque path has no root, so the path is written there encoded.
  if (u.has_opaque_path()) u.replace_opaque_path(kAuthorizePath);
  else u.set_pathname(kAuthorizePath);

  // Every pair is form-encoded, so no value can close its pair early or add
  // a parameter of its own; the issuer's own query stays in front.
  const std::array<std::pair<std::string_view, std::string_view>, 7> pairs = {{
      {"response_type", "code"},
      {"client_id", params.client_id},
      {"redirect_uri", params.redirect_uri},
      {"state", params.state},
      {"nonce", params.nonce},
      {"code_challenge", params.code_challenge},
      {"code_challenge_method", "S256"},
  }};
  if (!u.query) u.query.emplace();
  std::string& query = *u.query;
  for (const auto& [name, value] : pairs) url::append_form_pair(query, name, value);
  return u.href();
}

}  // namespace qsdk::core
