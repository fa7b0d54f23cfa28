#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Operation targets read their input as fuzz/input.hpp describes: per declared
argument in order, a u64 as 8 big-endian bytes, a bool as one byte, and a
buffer as a mode byte (below 0xe0: the typed encoding follows; 0xe0 to 0xfb:
raw bytes as a chunk; 0xfc to 0xff: a buffer breaking the invariants) where a
chunk is a 32-bit big-endian length and the bytes. The argument types come
from fuzz/operations.txt, which qsdk_iface derives from the interface table.

Each operation gets representative accepted and refused argument sets. Files
this script writes are named seed-*; anything else in a corpus folder (inputs
of past findings) is left alone. Run it from anywhere; it is deterministic.
"""

import hashlib
import json
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

# --- argument values ---------------------------------------------------------


class Raw:
    """A buffer argument sent as these exact bytes, not typed-encoded."""

    def __init__(self, data):
        self.data = data if isinstance(data, bytes) else data.encode()


class Broken:
    """A buffer breaking the invariants: one of the harness's mode bytes."""

    MODES = {"null-capacity": 0xFF, "null-length": 0xFE, "len-over-capacity": 0xFD, "null-empty": 0xFC}

    def __init__(self, kind):
        self.mode = self.MODES[kind]


class BoolByte:
    """A bool argument byte other than 0 or 1 (the harness keeps >= 0xf0 as is)."""

    def __init__(self, byte):
        self.byte = byte


def chunk(data):
    data = data if isinstance(data, bytes) else data.encode()
    return struct.pack(">I", len(data)) + data


def u64(v):
    return struct.pack(">Q", v)


DEED_TEXTS = ("sub", "aud", "challenge")
DEED_OPTIONALS = ("root", "proof", "pubkey", "signature", "credential_pubkey", "authenticator_data",
                  "client_data_json", "assertion_sig", "signer", "grants", "delegations")


def deed(**fields):
    d = {"v": 1, "mode": "user-sig", "tenant": 7, "sub": "sub", "aud": "aud", "challenge": "c", "exp": 99}
    d.update(fields)
    return d


def typed(ty, value):
    """The harness's typed encoding of one buffer argument (after mode 0)."""
    if ty == "Bytes":
        return chunk(value)
    if ty == "OptString":
        return b"\x00" if value is None else b"\x01" + chunk(value)
    if ty == "Deed":
        out = bytes([value["v"]]) + chunk(value["mode"]) + u64(value["tenant"])
        out += b"".join(chunk(value[k]) for k in DEED_TEXTS) + u64(value["exp"])
        for k in DEED_OPTIONALS:
            v = value.get(k)
            out += b"\x00" if v is None else b"\x01" + chunk(v)
        return out
    return chunk(value)


def argument(ty, value):
    if ty == "U64":
        return u64(value)
    if ty == "Bool":
        return bytes([value.byte]) if isinstance(value, BoolByte) else bytes([1 if value else 0])
    if isinstance(value, Broken):
        return bytes([value.mode])
    if isinstance(value, Raw):
        return b"\xe0" + chunk(value.data)
    return b"\x00" + typed(ty, value)


# --- the interface table -------------------------------------------------------


def operations():
    """[(name, [arg types])] in table order, from the list qsdk_iface derives from the interface table."""
    lines = (ROOT / "fuzz" / "operations.txt").read_text().splitlines()
    return [(words[0], words[1:]) for words in (line.split() for line in lines if line.strip())]


# --- representative values -----------------------------------------------------

ORIGIN = "https://rp.example"
KEY = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318"
ADDR = "52908400098527886e0f7030069857d2e4169ee7"
G = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
G_FULL = ("0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
          "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8")
# r = the generator's x coordinate, s = 1, v = 27: a recoverable signature.
SIG65 = G[2:] + "00" * 31 + "01" + "1b"
LABEL = "0102030405060708091011121314151617181920212223242526272829303132"
PARENT = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"
GRANTS = '[{"res":"r","act":["a"],"cav":{"exp":5,"nb":{"a":1,"b":[1.5]}}}]'
GRANTS_SPELLED = '[["r",["a"],[5,null,{"b":[15e-1],"a":1}]]]'
LINK = ('{"iss":"i","to":"t","grants":' + GRANTS + ',"exp":9,"epoch_label":"' + LABEL +
        '","epoch":3,"sig":"abcd","pubkey":"02aa"}')
LINK_SPELLED = ('{ "sig":"abcd", "extra":[1,{"x":null}], "salt":null, "to":"t", "iss":"i", "grants":' +
                GRANTS_SPELLED + ', "exp":9, "epoch_label":"' + LABEL.upper() + '", "epoch":3 }')
CHAIN = "[" + LINK + "," + LINK_SPELLED + "]"
DEEP = "[" * 200 + "]" * 200
JWK = ('{"kty":"EC","crv":"P-256","x":"p_it7GC8p5khD5C2uOgbNDXcmHWPB1MDCfBq_yrSLWY",'
       '"y":"Bry19LF3ot_gi1XCGtnZWfA7t1f-BjdQdwlh4t83bj4"}')
JWKS = '{"keys":[' + JWK + ']}'
# Signed by JWK's key; iss https://issuer.example, aud client-1, exp 2000, iat 900, tid 7, nonce n-1.
JWT = ("eyJhbGciOiJFUzI1NiJ9.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEi"
       "LCJleHAiOjIwMDAsImlhdCI6OTAwLCJ0aWQiOjcsIm5vbmNlIjoibi0xIn0.mNW82WRx2VNFM2x-KdeJ14tCSg_L-Wp0vLg4-UrrpIdk77EI"
       "KO8i2fUule5xvTqsYlEqdE8EQdzWWn9p8fNjXw")
ISS = "https://issuer.example"

# Per operation: labelled argument lists, accepted and refused ones.
CASES = {
    "normalize_origin": {
        "ok": [ORIGIN], "upper-port": ["HTTPS://RP.Example:443/"], "ipv6": ["http://[::1]:8080"],
        "idn": ["https://b\u00fccher.example"], "no-scheme": ["rp.example"], "path": [ORIGIN + "/login"],
        "bad-utf8": [Raw(b"https://\xff")], "broken": [Broken("len-over-capacity")],
    },
    "user_binding": {
        "ok": [7, "rp", ORIGIN, "c1", 99], "path": [7, "rp", ORIGIN + "/x", "c1", 99],
        "null-buffers": [0, Broken("null-empty"), "http://X:8080", Broken("null-empty"), 0],
    },
    "user_sub": {"ok": [G], "uncompressed": [G_FULL], "prefixed": ["0x" + G], "odd": [G[1:]], "empty": [""]},
    "mint_user_deed": {
        "ok": [KEY, 1, "a", ORIGIN, "c", 2], "zero-key": ["00" * 32, 1, "a", ORIGIN, "c", 2],
        "bad-origin": [KEY, 1, "a", "rp.example", "c", 2], "broken": [Broken("null-length"), 1, "a", ORIGIN, "c", 2],
    },
    "user_root_binding": {"ok": [ORIGIN], "path": [ORIGIN + "/p"]},
    "derive_root_seed": {
        "ok": [ORIGIN, "00ff1b", "00FF1B"], "differ": [ORIGIN, "00ff1b", "00ff1c"], "odd": [ORIGIN, "00ff1b", "abc"],
    },
    "derive_app_key": {"ok": ["a" * 64, 1, ORIGIN], "short": ["", 1, ORIGIN], "bad-origin": ["a" * 64, 1, "x"]},
    "passkey_sub": {"ok": [7, ORIGIN, "04ABCDEF"], "raw-origin": [7, "not an origin", ""]},
    "mint_user_passkey_deed": {
        "ok": ["04AB", "AuthData", "eyJ9", "30FF", 7, "rp", ORIGIN, "c", 99],
        "path": ["", "", "", "", 7, "rp", ORIGIN + "/x", "", 0],
    },
    "mint_user_1271_deed": {
        "ok": [ADDR, "0xABCD", 7, "rp", ORIGIN, "c", 99], "short-addr": [ADDR[2:], "zz", 7, "rp", ORIGIN, "c", 99],
        "prefixes": ["0x0x" + ADDR, "", 7, "rp", ORIGIN, "c", 99],
    },
    "mint_admin_deed": {"ok": [SIG65, 7, "rp", "c1", 99], "prefixed": ["0x" + SIG65, 7, "rp", "c1", 99],
                        "short": [SIG65[:-2], 7, "rp", "c1", 99]},
    "mint_admin_deed_smartwallet": {"ok": [ADDR, "abcd", 7, "rp", "c1", 99], "bad": [ADDR + "00", "", 7, "rp", "c", 1]},
    "delegation_binding": {
        "ok": [7, "i", "t", GRANTS, 9, LABEL, 3, PARENT], "spelled": [7, "i", "t", GRANTS_SPELLED, 9, LABEL.upper(), 3, PARENT],
        "grants-object": [7, "i", "t", "{}", 9, LABEL, 3, PARENT], "label-short": [7, "i", "t", "[]", 9, LABEL[2:], 3, PARENT],
        "deep": [7, "i", "t", DEEP, 9, LABEL, 3, PARENT],
    },
    "delegate": {
        "ok": [7, "i", "t", GRANTS, 9, LABEL, 3, PARENT, "02aa", "0xABCD"],
        "no-pubkey": [7, "i", "t", "[]", 9, LABEL, 3, PARENT, None, "0x0xABCDef"],
        "bad-tag": [7, "i", "t", "[]", 9, LABEL, 3, PARENT, Raw(b"\x02"), "00"],
        "bad-sig": [7, "i", "t", "[]", 9, LABEL, 3, PARENT, None, "0X12"],
    },
    "parent_ref_hash_root": {"ok": ["did:key:abc"], "empty": [""]},
    "parent_ref_hash_link": {
        "canonical": [LINK], "spelled": [LINK_SPELLED], "positional": ['["i","t",[],9,"' + LABEL + '",3,"ab",null,null,null,null,null]'],
        "missing-sig": ['{"iss":"i","to":"t","grants":[],"exp":9,"epoch_label":"' + LABEL + '","epoch":3}'],
        "array": ["[]"], "deep": [DEEP],
    },
    "mint_capability_deed": {
        "ok": [deed(), GRANTS, CHAIN], "empty": [deed(signature="ab", pubkey=G), "[]", " [ ] "],
        "replaces": [deed(grants="[]", delegations="[" + LINK + "]"), GRANTS_SPELLED, "[]"],
        "bad-deed-grants": [deed(grants="[1]"), "[]", "[]"], "bad-chain": [deed(), "[]", '[{"iss":"i"}]'],
        "truncated-deed": [Raw(typed("Deed", deed())[:-1]), "[]", "[]"],
        "junk-deed": [Raw(typed("Deed", deed()) + b"\x00"), "[]", "[]"],
    },
    "origin_vouch_binding": {
        "ok": [7, "rp", ORIGIN, 1, 100, False], "insecure": [7, "rp", "http://localhost", 1, 100, False],
        "allowed": [7, "rp", "http://localhost:3000", 1, 100, True], "private": [7, "rp", "https://10.0.0.1", 1, 100, False],
        "bad-bool": [7, "rp", ORIGIN, 1, 100, BoolByte(0xF2)],
    },
    "origin_vouch_signer": {"ok": [7, "rp", ORIGIN, 1, 100, SIG65], "short": [7, "rp", ORIGIN, 1, 100, "00"]},
    "origin_vouch_max_ttl_secs": {"call": []},
    "is_origin_voucher_calldata": {"ok": [7, "0x" + ADDR, 1], "bare": [7, ADDR, 1], "short": [7, "0x1234", 1]},
    "decode_bool_return": {
        "true": [b"\x00" * 31 + b"\x01"], "false": [b"\x00" * 32], "short": [b"\x00" * 31], "empty": [b""],
        "not-bool": [b"\x00" * 31 + b"\x02"],
        "count-too-long": [Raw(b"\x00\x00\x00\x04\x01\x02\x03")], "junk": [Raw(b"\x00\x00\x00\x04\x01\x02\x03\x04\x05")],
        "negative": [Raw(b"\xff\xff\xff\xff")],
    },
    "generate_pkce": {"call": []},
    "pkce_challenge": {"ok": ["dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"], "empty": [""]},
    "build_authorize_url": {
        "ok": [ISS + "/tenant/", "client", "https://app.example/cb", "st&x=1", "n", "ch"],
        "query-fragment": [ISS + "?a=b#f", "c", "r", "s", "n", "c"], "opaque": ["mailto:x", "c", "r", "s", "n", "c"],
        "relative": ["/authorize", "c", "r", "s", "n", "c"], "idn": ["https://B\u00dccher.example:8443", "c", "r", "s", "n", "c"],
    },
    "build_client_assertion": {"ok": ["example.com", 7, "n", 1700000000]},
    "sign_client_assertion": {"ok": [KEY, "example.com", 7, "n", 1700000000], "bad-key": ["00", "example.com", 7, "n", 1]},
    "verify_token_at": {
        "ok": [JWT, JWKS, ISS, "client-1", 1000], "expired": [JWT, JWKS, ISS, "client-1", 3000],
        "wrong-aud": [JWT, JWKS, ISS, "other", 1000], "no-keys": [JWT, '{"keys":[]}', ISS, "client-1", 1000],
        "deep-jwks": [JWT, DEEP, ISS, "client-1", 1000], "not-jwt": ["a.b", JWKS, ISS, "client-1", 1000],
    },
    "issuer_key_id": {"ok": [JWK], "reordered": ['{"y":' + json.dumps(json.loads(JWK)["y"]) + ',"x":' +
                                                 json.dumps(json.loads(JWK)["x"]) + ',"crv":"P-256","kty":"EC","kid":"k"}'],
                      "rsa": ['{"kty":"RSA","n":"AQAB","e":"AQAB"}'], "empty": [""]},
}

CORE_SEEDS = {
    "fuzz_core_json": [
        "null", "[1,-2,1.5,1e300,-0.0,18446744073709551615,18446744073709551616]", '{"b":1,"a":{"c":[true,false]}}',
        '"\\u00e9\\ud83d\\ude00\\n"', '{"a":1,"a":2}', GRANTS, GRANTS_SPELLED, LINK, LINK_SPELLED, CHAIN, DEEP,
        "[" * 130, '{"res":"r"', "[1,]",
    ],
    "fuzz_core_url": [
        ISS + "/tenant/", "https://user:pw@B\u00dccher.example:443/a/../b?q=1#f", "http://[::ffff:1.2.3.4]:80/",
        "http://0x7f.1/", "file:///C:/x", "mailto:someone@example.com", "web+demo:/.//not-a-host/",
        "https://xn--nxasmq6b.example/%7e", "http://a b/", "https://example.com:99999/",
    ],
    "fuzz_core_origin": [
        ORIGIN, "HTTPS://RP.Example:443/", "http://localhost:3000", "https://10.0.0.1", "http://[::1]",
        "https://b\u00fccher.example", "rp.example", ORIGIN + "/path", "https://rp.example:0",
    ],
}

# --- writing -------------------------------------------------------------------


def write_corpus(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("seed-*"):
        old.unlink()
    for label, data in seeds:
        (folder / f"seed-{label}").write_bytes(data)


def main():
    ops = operations()
    missing = {name for name, _ in ops} ^ set(CASES)
    if missing:
        raise SystemExit(f"seed cases and interface table differ: {sorted(missing)}")
    for name, types in ops:
        seeds = []
        for label, values in CASES[name].items():
            if len(values) != len(types):
                raise SystemExit(f"{name}/{label}: {len(values)} values for {len(types)} arguments")
            seeds.append((label, b"".join(argument(t, v) for t, v in zip(types, values))))
        write_corpus(f"fuzz_op_{name}", seeds)
    for target, texts in CORE_SEEDS.items():
        write_corpus(target, [(hashlib.sha1(t.encode()).hexdigest()[:12], t.encode()) for t in texts])


if __name__ == "__main__":
    main()
