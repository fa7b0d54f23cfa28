// The OAuth 2.0 authorisation request URL (authorisation code with PKCE S256)
// at the issuer's /authorize endpoint.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"

namespace qsdk::core {

// The caller's parameters, used verbatim: nothing checks them for emptiness,
// length or form, and the form serializer encodes whatever they hold. Views
// into the caller's texts for the length of the call.
struct AuthorizeParams {
  std::string_view client_id;
  std::string_view redirect_uri;
  std::string_view state;
  std::string_view nonce;
  std::string_view code_challenge;
};

// Parses `issuer` as an absolute URL, replaces its path with "/authorize"
// and appends the seven request pairs to its query, keeping any query and
// fragment the issuer had. Fails with an Input error carrying the URL
// parser's message when `issuer` does not parse.
Result<std::string> build_authorize_url(std::string_view issuer, const AuthorizeParams& params);

}  // namespace qsdk::core
