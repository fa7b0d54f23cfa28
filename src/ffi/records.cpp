#include "ffi/records.hpp"

#include "capability/capability_json.hpp"

namespace qsdk::ffi {

namespace {

template <class T, class Parse>
core::Result<std::optional<T>> parse_if_present(const std::optional<std::string>& text, Parse parse) {
  if (!text) return std::optional<T>();
  auto parsed = parse(*text);
  if (!parsed) return std::unexpected(parsed.error());
  return std::optional<T>(std::move(*parsed));
}

}  // namespace

DeedRecord to_record(const core::Deed& deed) {
  DeedRecord r;
  static_cast<core::DeedTerms&>(r) = deed;
  if (deed.grants) r.grants = core::write_grant_list(*deed.grants);
  if (deed.delegations) r.delegations = core::write_delegation_chain(*deed.delegations);
  return r;
}

core::Result<core::Deed> from_record(const DeedRecord& record) {
  auto grants = parse_if_present<std::vector<core::Grant>>(record.grants, core::parse_grant_list);
  if (!grants) return std::unexpected(grants.error());
  auto delegations = parse_if_present<std::vector<core::Delegation>>(record.delegations, core::parse_delegation_chain);
  if (!delegations) return std::unexpected(delegations.error());
  core::Deed deed;
  static_cast<core::DeedTerms&>(deed) = record;
  deed.grants = std::move(*grants);
  deed.delegations = std::move(*delegations);
  return deed;
}

}  // namespace qsdk::ffi
