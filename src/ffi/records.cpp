#include "ffi/records.hpp"

#include "capability/capability_json.hpp"

namespace qsdk::ffi {

DeedRecord to_record(const core::Deed& d) {
  DeedRecord r{d.v, d.mode, d.tenant, d.sub, d.aud, d.challenge, d.exp,
               d.root, d.proof, d.pubkey, d.signature, d.credential_pubkey, d.authenticator_data,
               d.client_data_json, d.assertion_sig, d.signer, std::nullopt, std::nullopt};
  if (d.grants) r.grants = core::write_grant_list(*d.grants);
  if (d.delegations) r.delegations = core::write_delegation_chain(*d.delegations);
  return r;
}

void write(Writer& w, const DeedRecord& r) {
  w.u8(r.v);
  w.string(r.mode);
  w.u64(r.tenant);
  w.string(r.sub);
  w.string(r.aud);
  w.string(r.challenge);
  w.u64(r.exp);
  for (const auto* f : {&r.root, &r.proof, &r.pubkey, &r.signature, &r.credential_pubkey, &r.authenticator_data,
                        &r.client_data_json, &r.assertion_sig, &r.signer, &r.grants, &r.delegations})
    w.optional_string(*f);
}

void write(Writer& w, const AppKeyRecord& r) {
  w.string(r.secret_key_hex);
  w.string(r.pubkey_hex);
}

void write(Writer& w, const core::Pkce& r) {
  w.string(r.verifier);
  w.string(r.challenge);
}

void write(Writer& w, const core::Claims& r) {
  w.string(r.iss);
  w.string(r.sub);
  w.string(r.aud);
  w.u64(r.exp);
  w.u64(r.iat);
  w.optional_u64(r.tid);
  w.optional_string(r.nonce);
}

DeedRecord read_deed(Reader& rd) {
  DeedRecord r;
  r.v = rd.u8();
  r.mode = rd.string();
  r.tenant = rd.u64();
  r.sub = rd.string();
  r.aud = rd.string();
  r.challenge = rd.string();
  r.exp = rd.u64();
  for (auto* f : {&r.root, &r.proof, &r.pubkey, &r.signature, &r.credential_pubkey, &r.authenticator_data,
                  &r.client_data_json, &r.assertion_sig, &r.signer, &r.grants, &r.delegations})
    *f = rd.optional_string();
  return r;
}

}  // namespace qsdk::ffi
