#include "capability/capability_json.hpp"

#include <algorithm>

#include "base/codec.hpp"
#include "json/record.hpp"

namespace qsdk::core {

namespace {

// 32 bytes as hex text: either case and no prefix when read, lower case when
// written.
struct EpochLabelCodec {
  static bool decode(json::Cursor& c, std::array<std::uint8_t, 32>& out) {
    std::string text;
    if (!json::Codec<std::string>::decode(c, text)) return false;
    const auto bytes = hex_decode(text);
    if (!bytes) return c.fail_here(bytes.error());
    if (bytes->size() != out.size()) return c.fail_here("epoch_label must be 32 bytes");
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return true;
  }
  static void encode(json::Writer& w, const std::array<std::uint8_t, 32>& label) {
    json::write_string(w, hex_encode(label));
  }
};

// Any object, read as the generic value and kept as its canonical text.
struct CanonicalObjectCodec {
  static std::string expecting() { return json::Codec<json::Object>::expecting(); }
  static bool decode(json::Cursor& c, std::string& out) {
    json::Object object;
    if (!json::Codec<json::Object>::decode(c, object)) return false;
    out.clear();
    if (object.empty()) return true;
    json::Writer w(out);
    json::write(w, object);
    return true;
  }
  static void encode(json::Writer& w, const std::string& canonical) { w.put(canonical); }
  static constexpr std::string_view kDefaultText = "";  // what encode writes for the empty text
  // The empty object is written as nothing, as it is held.
  static bool transcribe(json::Cursor& c, json::Writer& w) {
    const std::size_t start = w.size();
    if (!json::transcribe_object(c, w, expecting)) return false;
    if (w.since(start) == "{}") w.truncate(start);
    return true;
  }
};

}  // namespace

// Member order here is the canonical order of the written form.
template <>
struct json::Record<Caveats> {
  static constexpr std::string_view name = "Caveats";
  static constexpr auto fields = std::tuple{
      json::field("exp", &Caveats::exp),
      json::field("max_uses", &Caveats::max_uses),
      json::defaulted<CanonicalObjectCodec>("nb", &Caveats::nb),
  };
};

template <>
struct json::Record<Grant> {
  static constexpr std::string_view name = "Grant";
  static constexpr auto fields = std::tuple{
      json::field("res", &Grant::res),
      json::field("act", &Grant::act),
      json::field("cav", &Grant::cav),
  };
};

template <>
struct json::Record<Delegation> {
  static constexpr std::string_view name = "Delegation";
  static constexpr auto fields = std::tuple{
      json::field("iss", &Delegation::iss),
      json::field("to", &Delegation::to),
      json::field("grants", &Delegation::grants),
      json::field("exp", &Delegation::exp),
      json::field<EpochLabelCodec>("epoch_label", &Delegation::epoch_label),
      json::field("epoch", &Delegation::epoch),
      json::field("sig", &Delegation::sig),
      json::field("pubkey", &Delegation::pubkey),
      json::field("kind", &Delegation::kind),
      json::field("proof", &Delegation::proof),
      json::field("root", &Delegation::root),
      json::field("salt", &Delegation::salt),
  };
};

namespace {

// A parser's failure is the caller's input error.
template <class R>
Result<R> as_input(json::Parsed<R> read) {
  if (!read) return std::unexpected(CoreError::input(std::move(read.error())));
  return std::move(*read);
}

template <class T>
Result<T> parse_input(std::string_view text) {
  return as_input(json::parse_as<T>(text));
}

template <class T>
Result<std::string> canonical_input(std::string_view text) {
  return as_input(json::canonical_text<T>(text));
}

}  // namespace

Result<std::vector<Grant>> parse_grant_list(std::string_view text) { return parse_input<std::vector<Grant>>(text); }
Result<Delegation> parse_delegation(std::string_view text) { return parse_input<Delegation>(text); }
Result<std::vector<Delegation>> parse_delegation_chain(std::string_view text) {
  return parse_input<std::vector<Delegation>>(text);
}

Result<std::string> canonical_grant_list(std::string_view text) { return canonical_input<std::vector<Grant>>(text); }
Result<std::string> canonical_delegation(std::string_view text) { return canonical_input<Delegation>(text); }
Result<std::string> canonical_delegation_chain(std::string_view text) {
  return canonical_input<std::vector<Delegation>>(text);
}

std::string write_grant_list(const std::vector<Grant>& grants) { return json::to_text(grants); }
std::string write_delegation(const Delegation& link) { return json::to_text(link); }
std::string write_delegation_chain(const std::vector<Delegation>& chain) { return json::to_text(chain); }

}  // namespace qsdk::core
