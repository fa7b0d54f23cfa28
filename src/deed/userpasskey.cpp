#include "deed/userpasskey.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "base/text.hpp"
#include "origin/origin.hpp"

namespace qsdk::core {
namespace {

// ICU counts UTF-16 units in int32_t and writes the lowered text back as
// UTF-8 under one int32_t length, up to three bytes per unit. A UTF-8 text
// of n bytes has at most n units, and so does its lower-cased form (U+0130,
// the one mapping that grows, takes two bytes to two units), so at most this
// many bytes keeps every count ICU makes in range.
constexpr std::size_t kMaxUnicodeLowerCasing = std::numeric_limits<std::int32_t>::max() / 3;

// The key text is opaque, so it is lower-cased as text: the full Unicode
// mapping, without any language's tailoring. Hex is ASCII and takes the
// short way, at any length.
Result<std::string> lower_case(std::string_view text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  if (text.size() > kMaxUnicodeLowerCasing)
    return std::unexpected(
        CoreError::input(cat("credential key text must be ASCII or at most ", kMaxUnicodeLowerCasing, " bytes")));
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  // A string ICU could not allocate is "bogus" and would read as empty.
  if (u.toLower(icu::Locale::getRoot()).isBogus()) throw std::bad_alloc();
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::string passkey_subject(std::uint64_t tenant, std::string_view origin, std::string_view lowered_key) {
  const std::string text = cat("quorvel-sovereign-user-passkey-sub-v1|tenant:", tenant, "|origin:", origin,
                               "|pubkey:", lowered_key);
  return subject_digest({as_bytes(text)});
}

}  // namespace

Result<std::string> passkey_sub(std::uint64_t tenant, std::string_view origin, std::string_view credential_pubkey_hex) {
  auto key = lower_case(credential_pubkey_hex);
  if (!key) return std::unexpected(key.error());
  return passkey_subject(tenant, origin, *key);
}

Result<Deed> mint_user_passkey_deed(const PasskeyAssertion& assertion, std::uint64_t tenant, std::string_view aud,
                                    std::string_view origin, std::string_view challenge, std::uint64_t exp) {
  auto canonical = normalize_origin(origin);
  if (!canonical) return std::unexpected(canonical.error());
  auto key = lower_case(assertion.credential_pubkey_hex);
  if (!key) return std::unexpected(key.error());
  Deed deed = new_deed(kModeUserPasskey, passkey_subject(tenant, *canonical, *key), tenant, aud, challenge, exp);
  deed.credential_pubkey = std::move(*key);
  deed.authenticator_data = assertion.authenticator_data_hex;
  deed.client_data_json = assertion.client_data_json_b64url;
  deed.assertion_sig = assertion.assertion_sig_hex;
  return deed;
}

}  // namespace qsdk::core
