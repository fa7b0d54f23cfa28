#include "ffi/records.hpp"

#include "capability/capability_json.hpp"

namespace qsdk::ffi {

namespace {

template <class Canonical>
core::Result<std::optional<std::string>> canonical_if_present(const std::optional<std::string>& text,
                                                              Canonical canonical) {
  if (!text) return std::optional<std::string>();
  auto written = canonical(*text);
  if (!written) return std::unexpected(written.error());
  return std::optional<std::string>(std::move(*written));
}

}  // namespace

DeedRecord to_record(const core::Deed& deed) {
  DeedRecord r;
  static_cast<core::DeedTerms&>(r) = deed;
  r.grants = deed.grants;
  r.delegations = deed.delegations;
  return r;
}

core::Result<core::Deed> from_record(const DeedRecord& record) {
  auto grants = canonical_if_present(record.grants, core::canonical_grant_list);
  if (!grants) return std::unexpected(grants.error());
  auto delegations = canonical_if_present(record.delegations, core::canonical_delegation_chain);
  if (!delegations) return std::unexpected(delegations.error());
  core::Deed deed;
  static_cast<core::DeedTerms&>(deed) = record;
  deed.grants = std::move(*grants);
  deed.delegations = std::move(*delegations);
  return deed;
}

}  // namespace qsdk::ffi
