"""The four typical flows, each step a call a Python host makes."""

import hashlib
import json
import struct
import unittest
import urllib.parse

from support import (CLIENT_ID, DECOY_KEY, ISSUER, ISSUER_KEY, ORIGIN, ROOT_SIG, TOKEN, VOUCH, VOUCH_SIG,
                     WALLET_ADDRESS, WALLET_KEY, needs, sdk)


@needs("normalize_origin", "user_root_binding", "derive_root_seed", "derive_app_key", "mint_user_deed", "user_sub")
class WalletSignIn(unittest.TestCase):
    def sign_in(self, origin_as_typed: str, tenant: int, challenge: str) -> sdk.Deed:
        origin = sdk.normalize_origin(origin_as_typed)
        prose = sdk.user_root_binding(origin)
        self.assertIn(f"Origin: {origin}", prose)
        # The wallet signs the prose twice; a deterministic wallet gives the same bytes.
        signature1 = signature2 = ROOT_SIG
        seed = sdk.derive_root_seed(origin, signature1, signature2)
        app_key = sdk.derive_app_key(seed, tenant, origin)
        deed = sdk.mint_user_deed(app_key.secret_key_hex, tenant, "rp.example", origin, challenge, 1700000600)
        self.assertEqual(deed.pubkey, app_key.pubkey_hex)
        self.assertEqual(deed.sub, sdk.user_sub(app_key.pubkey_hex))
        return deed

    def test_the_same_wallet_is_the_same_pseudonym_at_every_sign_in(self):
        first = self.sign_in("https://APP.example:443/", 7, "challenge-1")
        again = self.sign_in(ORIGIN, 7, "challenge-2")
        other_tenant = self.sign_in(ORIGIN, 8, "challenge-1")
        self.assertEqual(first.mode, "user-sig")
        self.assertEqual(first.sub, again.sub)
        self.assertNotEqual(first.signature, again.signature)
        self.assertNotEqual(first.sub, other_tenant.sub)


GRANTS = '[{"res":"docs/*","act":["read"],"cav":{"max_uses":3,"nb":{"zone":"eu","app":"x"}}}]'
GRANTS_CANONICAL = '[{"res":"docs/*","act":["read"],"cav":{"max_uses":3,"nb":{"app":"x","zone":"eu"}}}]'


@needs("mint_user_deed", "parent_ref_hash_root", "delegation_binding", "delegate", "parent_ref_hash_link",
       "mint_capability_deed")
class CapabilityChain(unittest.TestCase):
    def link(self, issuer: str, to: str, parent: str) -> str:
        values = (7, issuer, to, GRANTS, 1800000000, "ab" * 32, 1, parent)
        binding = bytes.fromhex(sdk.delegation_binding(*values))
        self.assertTrue(binding.startswith(b"quorvel-deleg-v1" + struct.pack(">Q", 7)))
        self.assertIn(GRANTS_CANONICAL.encode(), binding)
        # The delegator signs the binding with its own key; the library carries
        # the signature without checking it, so any bytes stand in here.
        signature = "0x" + hashlib.sha256(binding).hexdigest() + "00" * 33
        return sdk.delegate(*values, None, signature)

    def test_a_two_link_chain_on_a_user_deed(self):
        deed = sdk.mint_user_deed(WALLET_KEY, 7, "rp.example", ORIGIN, "c1", 1800000000)
        parent1 = sdk.parent_ref_hash_root(deed.sub)
        self.assertEqual(parent1, hashlib.sha256(deed.sub.encode()).hexdigest())
        link1 = self.link(deed.sub, "agent-1", parent1)
        parent2 = sdk.parent_ref_hash_link(link1)
        self.assertEqual(parent2, hashlib.sha256(link1.encode()).hexdigest())
        link2 = self.link("agent-1", "agent-2", parent2)

        spaced_chain = json.dumps([json.loads(link1), json.loads(link2)], indent=2)
        capable = sdk.mint_capability_deed(deed, GRANTS, spaced_chain)
        self.assertEqual(capable.grants, GRANTS_CANONICAL)
        self.assertEqual(capable.delegations, f"[{link1},{link2}]")
        self.assertEqual((capable.sub, capable.signature), (deed.sub, deed.signature))
        first = json.dumps(json.loads(capable.delegations)[0], separators=(",", ":"), ensure_ascii=False)
        self.assertEqual(sdk.parent_ref_hash_link(first), parent2)


class RegistryStandIn:
    """A chain reader answering isOriginVoucher from a fixed list of voucher entries."""

    def __init__(self, vouchers):
        self.vouchers = vouchers

    def call(self, data: bytes) -> bytes:
        assert data[:4] == bytes.fromhex("04e8e8da") and len(data) == 100
        tenant = int.from_bytes(data[4:36], "big")
        address = "0x" + data[48:68].hex()
        epoch = int.from_bytes(data[68:100], "big")
        return (31 * b"\x00") + bytes([(tenant, address, epoch) in self.vouchers])


@needs("origin_vouch_signer", "is_origin_voucher_calldata", "decode_bool_return", "origin_vouch_max_ttl_secs")
class OriginVouchCheck(unittest.TestCase):
    registry = RegistryStandIn({(7, WALLET_ADDRESS, 3)})

    def check(self, observed_origin: str, now: int) -> bool:
        vouch = dict(VOUCH, origin=observed_origin)
        signer = sdk.origin_vouch_signer(**vouch, signature_hex=VOUCH_SIG)
        data = sdk.is_origin_voucher_calldata(vouch["tenant_id"], signer, vouch["epoch"])
        answer = sdk.decode_bool_return(self.registry.call(data))
        return answer and vouch["exp"] - now <= sdk.origin_vouch_max_ttl_secs()

    def test_a_vouch_holds_only_at_the_origin_it_names(self):
        self.assertTrue(self.check(ORIGIN, now=VOUCH["exp"] - 3600))
        # A page at another origin replaying the same vouch recovers another signer.
        self.assertFalse(self.check("https://evil.example", now=VOUCH["exp"] - 3600))
        # A vouch claiming more than the maximum lifetime is not accepted.
        self.assertFalse(self.check(ORIGIN, now=VOUCH["exp"] - 7776001))

    def test_an_empty_registry_return_is_an_error_not_false(self):
        with self.assertRaises(sdk.SdkError.Sdk):
            sdk.decode_bool_return(b"")


@needs("generate_pkce", "build_authorize_url", "verify_token_at")
class OAuthWithPkce(unittest.TestCase):
    def test_authorisation_code_flow(self):
        pkce = sdk.generate_pkce()
        url = sdk.build_authorize_url(ISSUER, CLIENT_ID, "https://app.example/callback", "state 1", "n-1",
                                      pkce.challenge)
        parts = urllib.parse.urlsplit(url)
        self.assertEqual((parts.scheme, parts.netloc, parts.path), ("https", "issuer.example", "/authorize"))
        self.assertEqual(urllib.parse.parse_qsl(parts.query), [
            ("response_type", "code"), ("client_id", CLIENT_ID), ("redirect_uri", "https://app.example/callback"),
            ("state", "state 1"), ("nonce", "n-1"), ("code_challenge", pkce.challenge),
            ("code_challenge_method", "S256")])

        # The token endpoint's answer, verified against the issuer's key set at the host's clock.
        jwks = json.dumps({"keys": [DECOY_KEY, ISSUER_KEY]})
        claims = sdk.verify_token_at(TOKEN, jwks, ISSUER, CLIENT_ID, 1700000100)
        self.assertEqual(claims.nonce, "n-1")
        self.assertEqual((claims.sub, claims.tid), ("user-1", 7))
        self.assertEqual(sdk.verify_token_at(TOKEN, jwks, ISSUER, CLIENT_ID, claims.exp + 60), claims)
        with self.assertRaises(sdk.SdkError.Sdk) as late:
            sdk.verify_token_at(TOKEN, jwks, ISSUER, CLIENT_ID, claims.exp + 61)
        self.assertEqual(late.exception.message, "claim: expired")


if __name__ == "__main__":
    unittest.main()
