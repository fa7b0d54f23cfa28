"""Every operation through the real library, by area, with the values a Python host sees."""

import base64
import hashlib
import json
import struct
import unittest

from support import (ADMIN_SIG, ASSERTION, ASSERTION_SIG, CLIENT_ID, DECOY_KEY, ISSUER, ISSUER_KEY,
                     ISSUER_KEY_THUMBPRINT, ORIGIN, ROOT_SIG, TOKEN, TOKEN_EXP_1000, VOUCH, VOUCH_SIG, WALLET_ADDRESS,
                     WALLET_KEY, WALLET_PUBKEY, WALLET_PUBKEY_UNCOMPRESSED, needs, sdk)

Sdk = sdk.SdkError.Sdk


def sha256_hex(data) -> str:
    return hashlib.sha256(data.encode() if isinstance(data, str) else data).hexdigest()


def b64url(data: bytes) -> str:
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


class Case(unittest.TestCase):
    def assertRefused(self, call, message, variant=Sdk):
        with self.assertRaises(variant) as refusal:
            call()
        self.assertEqual(refusal.exception.message, message)


class Origins(Case):
    def test_normalize_origin(self):
        for given, canonical in [("https://A.Example:443/", "https://a.example"),
                                 ("http://x.example:80", "http://x.example"),
                                 ("https://x.example:8443", "https://x.example:8443")]:
            with self.subTest(given):
                self.assertEqual(sdk.normalize_origin(given), canonical)
        self.assertRefused(lambda: sdk.normalize_origin("x.example"),
                           "input: origin: must start with https:// or http://")
        with self.assertRaisesRegex(Sdk, r"^input: origin: must be scheme://host\[:port\]"):
            sdk.normalize_origin("https://x.example/path")


@needs("user_binding", "user_sub", "mint_user_deed")
class UserSigDeeds(Case):
    def test_user_binding_uses_the_canonical_origin(self):
        binding = sdk.user_binding(7, "rp", "https://App.Example:443/", "c1", 99)
        expected = "quorvel-sovereign-user-v1|tenant:7|aud:rp|origin:https://app.example|challenge:c1|exp:99"
        self.assertEqual(bytes.fromhex(binding).decode(), expected)

    def test_user_sub_of_either_key_form(self):
        expected = sha256_hex(b"quorvel-sovereign-user-sub-v1" + bytes.fromhex(WALLET_PUBKEY))
        self.assertEqual(sdk.user_sub(WALLET_PUBKEY), expected)
        self.assertEqual(sdk.user_sub(WALLET_PUBKEY_UNCOMPRESSED), expected)
        self.assertRefused(lambda: sdk.user_sub("0x" + WALLET_PUBKEY), "crypto: Invalid character 'x' at position 1")
        self.assertRefused(lambda: sdk.user_sub(WALLET_PUBKEY[:-1]), "crypto: Odd number of digits")

    def test_mint_user_deed(self):
        deed = sdk.mint_user_deed(WALLET_KEY, 7, "rp", "https://APP.example/", "c1", 99)
        self.assertEqual(deed, sdk.mint_user_deed(WALLET_KEY, 7, "rp", ORIGIN, "c1", 99))
        self.assertEqual((deed.v, deed.mode, deed.tenant, deed.aud, deed.challenge, deed.exp),
                         (1, "user-sig", 7, "rp", "c1", 99))
        self.assertEqual(deed.sub, sdk.user_sub(WALLET_PUBKEY))
        self.assertEqual(deed.pubkey, WALLET_PUBKEY)
        self.assertRegex(deed.signature, "^[0-9a-f]{128}$")
        unset = [f for f in ("root", "proof", "credential_pubkey", "authenticator_data", "client_data_json",
                             "assertion_sig", "signer", "grants", "delegations") if getattr(deed, f) is not None]
        self.assertEqual(unset, [])
        # A bad key is reported before a bad origin.
        self.assertRefused(lambda: sdk.mint_user_deed("00" * 23, 7, "rp", "nope", "c1", 99), "crypto: signature error")


@needs("user_root_binding", "derive_root_seed", "derive_app_key", "mint_user_deed")
class RootSeedAndAppKey(Case):
    def test_user_root_binding(self):
        prose = sdk.user_root_binding("https://APP.example:443")
        self.assertEqual(prose.count(ORIGIN), 4)
        self.assertEqual(prose.count("\n"), 10)
        self.assertEqual(len(prose.encode()), 309 + 4 * len(ORIGIN))
        self.assertTrue(prose.endswith("\n\nquorvel-sovereign-user-root-v2"))

    def test_derive_root_seed(self):
        self.assertEqual(sdk.derive_root_seed(ORIGIN, ROOT_SIG, ROOT_SIG.upper()), sha256_hex(bytes.fromhex(ROOT_SIG)))
        self.assertEqual(sdk.derive_root_seed(ORIGIN, "", ""), sha256_hex(b""))
        self.assertRefused(lambda: sdk.derive_root_seed(ORIGIN, ROOT_SIG, ROOT_SIG[:-2]),
                           "crypto: wallet signing is non-deterministic; unsupported")
        self.assertRefused(lambda: sdk.derive_root_seed(ORIGIN, "0x" + ROOT_SIG, "0x" + ROOT_SIG),
                           "crypto: Invalid character 'x' at position 1")

    def test_derive_app_key(self):
        seed = sdk.derive_root_seed(ORIGIN, ROOT_SIG, ROOT_SIG)
        key = sdk.derive_app_key(seed, 7, ORIGIN)
        self.assertRegex(key.secret_key_hex, "^[0-9a-f]{64}$")
        self.assertRegex(key.pubkey_hex, "^0[23][0-9a-f]{64}$")
        self.assertEqual(key, sdk.derive_app_key(seed, 7, "https://App.Example:443/"))
        self.assertNotEqual(key, sdk.derive_app_key(seed, 8, ORIGIN))
        self.assertEqual(sdk.mint_user_deed(key.secret_key_hex, 7, "rp", ORIGIN, "c", 1).pubkey, key.pubkey_hex)
        self.assertRefused(lambda: sdk.derive_app_key("00" * 31, 7, ORIGIN),
                           "input: rootSeedHex must decode to exactly 32 bytes")


@needs("passkey_sub", "mint_user_passkey_deed")
class PasskeyDeeds(Case):
    def test_passkey_sub_takes_the_origin_as_given(self):
        expected = sha256_hex(f"quorvel-sovereign-user-passkey-sub-v1|tenant:7|origin:{ORIGIN}|pubkey:ab12")
        self.assertEqual(sdk.passkey_sub(7, ORIGIN, "AB12"), expected)
        self.assertNotEqual(sdk.passkey_sub(7, ORIGIN + "/", "ab12"), expected)

    def test_mint_carries_the_assertion_unchanged(self):
        deed = sdk.mint_user_passkey_deed("AB12", "AuthData", "eyJ9", "3045", 7, "rp", ORIGIN + "/", "c1", 99)
        self.assertEqual((deed.mode, deed.sub), ("user-passkey", sdk.passkey_sub(7, ORIGIN, "ab12")))
        self.assertEqual((deed.credential_pubkey, deed.authenticator_data, deed.client_data_json, deed.assertion_sig),
                         ("ab12", "AuthData", "eyJ9", "3045"))
        self.assertIsNone(deed.pubkey)
        self.assertIsNone(deed.signature)


ADDRESS = WALLET_ADDRESS[2:]


@needs("mint_user_1271_deed", "mint_admin_deed", "mint_admin_deed_smartwallet")
class WalletDeeds(Case):
    def test_mint_user_1271_deed(self):
        deed = sdk.mint_user_1271_deed("0X" + ADDRESS.upper(), "0xABCD", 7, "rp", ORIGIN + "/", "c1", 99)
        expected_sub = sha256_hex(f"quorvel-sovereign-user-1271-sub-v1|tenant:7|origin:{ORIGIN}|wallet:{ADDRESS}")
        self.assertEqual((deed.mode, deed.sub, deed.signer, deed.signature), ("user-1271", expected_sub, ADDRESS, "abcd"))
        self.assertRefused(lambda: sdk.mint_user_1271_deed(ADDRESS[:-2], "", 7, "rp", ORIGIN, "c1", 99),
                           "input: address must be 20 bytes")

    def test_mint_admin_deed_recovers_the_wallet(self):
        deed = sdk.mint_admin_deed("0x0x" + ADMIN_SIG, 7, "rp", "c1", 99)
        self.assertEqual((deed.mode, deed.sub, deed.signature, deed.signer), ("admin-sig", WALLET_ADDRESS, ADMIN_SIG, None))
        with_v0 = ADMIN_SIG[:-2] + "01"  # recovery byte 1 instead of 28
        self.assertEqual(sdk.mint_admin_deed(with_v0, 7, "rp", "c1", 99).signature, with_v0)
        self.assertEqual(sdk.mint_admin_deed(with_v0, 7, "rp", "c1", 99).sub, WALLET_ADDRESS)
        self.assertNotEqual(sdk.mint_admin_deed(ADMIN_SIG, 7, "rp", "c2", 99).sub, WALLET_ADDRESS)
        self.assertRefused(lambda: sdk.mint_admin_deed(ADMIN_SIG[:-2], 7, "rp", "c1", 99),
                           "input: signature must be 65 bytes")

    def test_mint_admin_deed_smartwallet(self):
        deed = sdk.mint_admin_deed_smartwallet("0X" + ADDRESS.upper(), "0xab", 7, "rp", "c1", 99)
        self.assertEqual((deed.mode, deed.sub, deed.signer, deed.signature), ("admin-sig", WALLET_ADDRESS, ADDRESS, "ab"))
        self.assertRefused(lambda: sdk.mint_admin_deed_smartwallet(ADDRESS, "0x0xab", 7, "rp", "c1", 99),
                           "input: Invalid character 'x' at position 1")


GRANTS_CANONICAL = '[{"res":"r","act":["a"],"cav":{}}]'
GRANTS_SPACED = ' [ {"cav":{"nb":{}},"act":["a"],"res":"r"} ] '
LABEL = "11" * 32


def binding_bytes(tenant, iss, to, grants, exp, label_hex, epoch, parent_hex) -> bytes:
    """The delegation binding built independently from its published layout."""
    def text(t):
        return struct.pack(">Q", len(t.encode())) + t.encode()
    return (b"quorvel-deleg-v1" + struct.pack(">Q", tenant) + text(iss) + text(to) + text(grants)
            + struct.pack(">Q", exp) + bytes.fromhex(label_hex) + struct.pack(">Q", epoch) + bytes.fromhex(parent_hex))


@needs("delegation_binding", "delegate", "parent_ref_hash_root", "parent_ref_hash_link", "mint_capability_deed")
class Capabilities(Case):
    def test_delegation_binding(self):
        parent = sdk.parent_ref_hash_root("root")
        binding = sdk.delegation_binding(7, "alice", "bob", GRANTS_SPACED, 100, LABEL.upper(), 2, parent)
        self.assertEqual(binding, binding_bytes(7, "alice", "bob", GRANTS_CANONICAL, 100, LABEL, 2, parent).hex())
        self.assertEqual(len(sdk.delegation_binding(0, "", "", "[]", 0, "00" * 32, 0, "00" * 32)), 260)
        refusals = [
            ((7, "a", "b", "[]", 1, LABEL[:-2], 2, parent), "expected 32 bytes of hex"),
            ((7, "a", "b", "[]", 1, "0x" + LABEL, 2, parent), "crypto: Invalid character 'x' at position 1"),
        ]
        for args, message in refusals:
            with self.subTest(message):
                self.assertRefused(lambda: sdk.delegation_binding(*args), message)
        with self.assertRaisesRegex(Sdk, "^input: invalid type: .*expected a sequence at line 1 column"):
            sdk.delegation_binding(7, "a", "b", "{}", 1, LABEL, 2, parent)

    def test_delegate_and_parent_references(self):
        args = (7, "alice", "bob", GRANTS_SPACED, 100, LABEL, 2, sdk.parent_ref_hash_root("root"))
        link = sdk.delegate(*args, None, "0x0xABCD")
        self.assertEqual(link, '{"iss":"alice","to":"bob","grants":' + GRANTS_CANONICAL
                         + f',"exp":100,"epoch_label":"{LABEL}","epoch":2,"sig":"abcd"}}')
        self.assertTrue(sdk.delegate(*args, "Any Key!", "").endswith(',"sig":"","pubkey":"Any Key!"}'))
        self.assertEqual(sdk.parent_ref_hash_link(link), sha256_hex(link))
        self.assertEqual(sdk.parent_ref_hash_link(json.dumps(json.loads(link), indent=2)), sha256_hex(link))
        self.assertEqual(sdk.parent_ref_hash_root(""), sha256_hex(b""))
        with self.assertRaisesRegex(Sdk, "^input: missing field `sig`"):
            sdk.parent_ref_hash_link('{"iss":"a","to":"b","grants":[],"exp":1,"epoch_label":"' + LABEL + '","epoch":1}')

    def test_mint_capability_deed_replaces_both_lists_and_keeps_the_rest(self):
        base = sdk.Deed(v=1, mode="agent-zk", tenant=2**64 - 1, sub="sübject", aud="rp", challenge="c", exp=0,
                        root="r", proof="p", signature="s", credential_pubkey="k", authenticator_data="ad",
                        client_data_json="cd", assertion_sig="as", signer="w", grants=GRANTS_CANONICAL,
                        delegations="[]")
        deed = sdk.mint_capability_deed(base, GRANTS_SPACED.replace('"a"', '"b"'), " [ ] ")
        self.assertEqual(deed.grants, GRANTS_CANONICAL.replace('"a"', '"b"'))
        self.assertEqual(deed.delegations, "[]")
        for field in sdk.Deed.__dataclass_fields__:
            if field not in ("grants", "delegations"):
                self.assertEqual(getattr(deed, field), getattr(base, field), field)
        broken = sdk.Deed(v=1, mode="m", tenant=1, sub="s", aud="a", challenge="c", exp=1, grants="not json")
        with self.assertRaisesRegex(Sdk, "^input: "):
            sdk.mint_capability_deed(broken, "[]", "[]")


class OriginVouch(Case):
    def test_origin_vouch_binding(self):
        spelled = "https://APP.example:443/"
        prose = sdk.origin_vouch_binding(7, "rp", spelled, 3, 1700000000, False)
        self.assertEqual(prose.count(spelled), 5)
        self.assertEqual(len(prose.encode()), 350 + 5 * len(spelled) + 2 + 2 + 1 + 10)
        self.assertTrue(prose.endswith("\n\nquorvel-origin-v1"))
        self.assertTrue(sdk.origin_vouch_binding(7, "rp", "http://127.0.0.1:8080", 3, 1, True).startswith(
            "http://127.0.0.1:8080 is claiming to act for Quorvel tenant 7."))

    def test_origin_vouch_signer(self):
        self.assertEqual(sdk.origin_vouch_signer(**VOUCH, signature_hex=VOUCH_SIG), WALLET_ADDRESS)
        other_epoch = dict(VOUCH, epoch=4)
        self.assertNotEqual(sdk.origin_vouch_signer(**other_epoch, signature_hex=VOUCH_SIG), WALLET_ADDRESS)
        refusals = [
            ("0x" + VOUCH_SIG, "crypto: Invalid character 'x' at position 1"),
            (VOUCH_SIG[:-2], "input: signature must be 65 bytes"),
            (VOUCH_SIG[:-2] + "05", "input: recovery id must be 0, 1, 27, or 28"),
            ("00" * 64 + "1b", "crypto: signature error"),
        ]
        for signature, message in refusals:
            with self.subTest(message):
                self.assertRefused(lambda: sdk.origin_vouch_signer(**VOUCH, signature_hex=signature), message)

    def test_registry_call_data_and_answer(self):
        self.assertEqual(sdk.origin_vouch_max_ttl_secs(), 7776000)
        data = sdk.is_origin_voucher_calldata(2**64 - 1, "0x0x" + ADDRESS.upper(), 1)
        expected = (bytes.fromhex("04e8e8da") + bytes(24) + b"\xff" * 8 + bytes(12) + bytes.fromhex(ADDRESS)
                    + bytes(31) + b"\x01")
        self.assertEqual(data, expected)
        for signer, message in [(ADDRESS[:38], "input: signer must be a 20-byte address"),
                                (ADDRESS[:39], "crypto: Odd number of digits"),
                                ("0X" + ADDRESS, "crypto: Invalid character 'X' at position 1")]:
            with self.subTest(signer):
                self.assertRefused(lambda: sdk.is_origin_voucher_calldata(1, signer, 1), message)
        for word, answer in [(bytes(31) + b"\x01", True), (bytes(32), False), (b"\xff" + bytes(31), False),
                             (bytes(31) + b"\xff", True)]:
            self.assertIs(sdk.decode_bool_return(word), answer)
        for size in (0, 31, 64):
            self.assertRefused(lambda: sdk.decode_bool_return(bytes(size)),
                               f"input: isOriginVoucher returned {size} bytes, expected 32")


class PkcePairs(Case):
    def test_generated_pairs(self):
        pairs = [sdk.generate_pkce() for _ in range(200)]
        self.assertEqual(len({p.verifier for p in pairs}), len(pairs))
        for pair in pairs:
            self.assertRegex(pair.verifier, "^[A-Za-z0-9_-]{43}$")
            self.assertEqual(pair.challenge, b64url(hashlib.sha256(pair.verifier.encode()).digest()))

    def test_pkce_challenge(self):
        cases = [("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk", "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"),
                 ("", "47DEQpj8HBSa-_TImW-5JCeuQeRkm5NMpJWZG3hSuFU"),
                 (" é ", b64url(hashlib.sha256(" é ".encode()).digest()))]
        for verifier, challenge in cases:
            self.assertEqual(sdk.pkce_challenge(verifier), challenge)


@needs("build_authorize_url")
class AuthorizeUrl(Case):
    def test_build_authorize_url(self):
        pairs = ("response_type=code&client_id=c+1&redirect_uri=https%3A%2F%2Fapp.example%2Fcb&state=&nonce=n"
                 "&code_challenge=x&code_challenge_method=S256")
        cases = [
            ("https://Issuer.Example:443/", "https://issuer.example/authorize?" + pairs),
            ("https://u@issuer.example:8443/tenants/7/?x=1#frag", "https://u@issuer.example:8443/authorize?x=1&" + pairs + "#frag"),
        ]
        for issuer, url in cases:
            with self.subTest(issuer):
                self.assertEqual(sdk.build_authorize_url(issuer, "c 1", "https://app.example/cb", "", "n", "x"), url)
        for issuer, message in [("issuer.example", "input: relative URL without a base"), ("https://", "input: empty host")]:
            with self.subTest(issuer):
                self.assertRefused(lambda: sdk.build_authorize_url(issuer, "c", "r", "s", "n", "x"), message)


class ClientAssertion(Case):
    def test_build_client_assertion(self):
        self.assertEqual(sdk.build_client_assertion(**ASSERTION),
                         "Quorvel client-credentials\ndomain: app.example\ntenant: 7\nnonce: n-1\nissued-at: 1700000000")

    def test_sign_client_assertion(self):
        for key in (WALLET_KEY, "0x0x" + WALLET_KEY, WALLET_KEY.upper()):
            self.assertEqual(sdk.sign_client_assertion(key, **ASSERTION), ASSERTION_SIG)
        refusals = [("0X" + WALLET_KEY, "input: Invalid character 'X' at position 1"),
                    (WALLET_KEY[:-1], "input: Odd number of digits"),
                    ("00" * 32, "crypto: signature error"),
                    (WALLET_KEY[:46], "crypto: signature error")]
        for key, message in refusals:
            with self.subTest(key):
                self.assertRefused(lambda: sdk.sign_client_assertion(key, **ASSERTION), message)


def key_set(*keys) -> str:
    return json.dumps({"keys": list(keys)})


@needs("verify_token_at", "issuer_key_id")
class Tokens(Case):
    def test_issuer_key_id(self):
        canonical = '{"crv":"P-256","kty":"EC","x":"%s","y":"%s"}' % (ISSUER_KEY["x"], ISSUER_KEY["y"])
        self.assertEqual(sha256_hex(canonical), ISSUER_KEY_THUMBPRINT)
        shuffled = json.dumps(dict(reversed(list(ISSUER_KEY.items())), kid="k", use="sig", d="secret"), indent=1)
        for jwk in (json.dumps(ISSUER_KEY), shuffled):
            self.assertEqual(sdk.issuer_key_id(jwk), ISSUER_KEY_THUMBPRINT)
        refusals = [(dict(ISSUER_KEY, kty="RSA"), "bad key: unsupported kty"),
                    ({k: v for k, v in ISSUER_KEY.items() if k != "kty"}, "bad key: missing kty"),
                    (dict(ISSUER_KEY, x=1), "bad key: missing x"),
                    ([], "bad key: missing kty")]
        for jwk, message in refusals:
            with self.subTest(message):
                self.assertRefused(lambda: sdk.issuer_key_id(json.dumps(jwk)), message)

    def test_verify_token_at(self):
        keys = key_set(DECOY_KEY, ISSUER_KEY)  # selected by thumbprint, not by position
        claims = sdk.verify_token_at(TOKEN, keys, ISSUER, CLIENT_ID, 1700000000)
        self.assertEqual(claims, sdk.Claims(ISSUER, "user-1", CLIENT_ID, 2000000000, 1700000000, 7, "n-1"))
        self.assertEqual(sdk.verify_token_at(TOKEN_EXP_1000, keys, ISSUER, CLIENT_ID, 1060),
                         sdk.Claims(ISSUER, "user-1", CLIENT_ID, 1000, 900, None, None))
        header, payload, signature = TOKEN.split(".")
        tampered = signature[:10] + ("A" if signature[10] != "A" else "B") + signature[11:]
        refusals = [
            ((TOKEN_EXP_1000, keys, ISSUER, CLIENT_ID, 1061), "claim: expired"),
            ((TOKEN, keys, ISSUER + "/", CLIENT_ID, 0), "claim: iss mismatch"),
            ((TOKEN, keys, ISSUER, "client-2", 0), "claim: aud mismatch"),
            ((f"{header}.{payload}.{tampered}", keys, ISSUER, CLIENT_ID, 0), "jwt: bad signature"),
            ((TOKEN, key_set(DECOY_KEY), ISSUER, CLIENT_ID, 0), "jwt: bad signature"),
            ((f"{header}.{payload}", keys, ISSUER, CLIENT_ID, 0), "jwt: not a 3-part JWT"),
            ((TOKEN, key_set(), ISSUER, CLIENT_ID, 0), "bad key: no matching key"),
            ((TOKEN, "[]", ISSUER, CLIENT_ID, 0), "bad key: no keys"),
        ]
        for args, message in refusals:
            with self.subTest(message, now=args[-1]):
                self.assertRefused(lambda: sdk.verify_token_at(*args), message)


if __name__ == "__main__":
    unittest.main()
