"""Shared pieces of the binding's tests: the module under test and fixed vectors.

The secp256k1 and P-256 signatures below were made once by a stand-in wallet
outside this library (libsecp256k1 with RFC 6979 nonces and Ethereum's
Keccak-256 for EIP-191 personal sign; OpenSSL for ES256), because Python's
standard library has neither curve. Each was made over the exact text named
beside it, so a test that recovers WALLET_ADDRESS from one proves the library
built that same text byte for byte.
"""

import pathlib
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))

import quorvel_sdk_uniffi as sdk  # noqa: E402

FN_PREFIX = "uniffi_quorvel_sdk_uniffi_fn_func_"


def needs(*operations):
    """Skips a test while the loaded library lacks one of the operations' exports."""
    missing = [op for op in operations if not sdk.operation_available(op)]
    reason = "library lacks export " + ", ".join(FN_PREFIX + op for op in missing)
    return unittest.skipIf(missing, reason)


# The wallet: a well-known secp256k1 test key and its Ethereum address.
WALLET_KEY = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318"
WALLET_ADDRESS = "0x2c7536e3605d9c16a7a3d7b1898e529396a65c23"
WALLET_PUBKEY = "024e3b81af9c2234cad09d679ce6035ed1392347ce64ce405f5dcd36228a25de6e"
WALLET_PUBKEY_UNCOMPRESSED = (
    "044e3b81af9c2234cad09d679ce6035ed1392347ce64ce405f5dcd36228a25de6e"
    "47fd35c4215d1edf53e6f83de344615ce719bdb0fd878f6ed76f06dd277956de"
)

ORIGIN = "https://app.example"

# Personal signature of the root binding for ORIGIN (385 bytes of prose).
ROOT_SIG = (
    "a5b7f1e82f1a326db5c1b1e5714de0d81fc090600e15ae2e86a320abd71faea8"
    "080c5c73fb0e8cded6c475b984a7e34836c06562a24255a8f27d1becf8166d521c"
)
# Personal signature of the admin binding for aud "rp", tenant 7, challenge "c1", exp 99.
ADMIN_SIG = (
    "678de8a9ad61ed24b990ea1262250c0ed42f8d748adf9e9f20b5df892beb0870"
    "1118ae4fb333537dd023e36498f894d8418115882faea7e8232120f379e380f71c"
)
# Personal signature of the vouch for tenant 7, aud "rp", ORIGIN, epoch 3, exp 1700000000.
VOUCH = dict(tenant_id=7, aud="rp", origin=ORIGIN, epoch=3, exp=1700000000)
VOUCH_SIG = (
    "59e5b890f116f65a868cb297b7c90da47993cf2d4e3bd5bbae572c1f5e7e734b"
    "02b3940a0b088d7e5d1367a0480a2ccc0302d242399b39b9fac5e7a4b2f077031b"
)
# Personal signature of the client assertion for domain app.example, tenant 7, nonce n-1, issued at 1700000000.
ASSERTION = dict(domain="app.example", tenant_id=7, nonce="n-1", issued_at=1700000000)
ASSERTION_SIG = (
    "0x898a2cafc70ec3a39e3814653ae424590886d8903cdbb5d117ba886264880521"
    "354acb70cd2b5e041e04a6e9544f65e8eb38d5041e7957ebbf966a535ca1d9041c"
)

# Two P-256 keys of an issuer; tokens are signed by ISSUER_KEY, whose header
# "kid" is its RFC 7638 thumbprint, and the key set lists DECOY_KEY first.
DECOY_KEY = {"kty": "EC", "crv": "P-256", "x": "vXxzuIsum0ztpiAistqL4TGTpbVu3Cbn33hC4kzQtes",
             "y": "BgWtp72oOsaiuA1-MUBA-kf_Frg7rIXO2wFEUbt85xo"}
ISSUER_KEY = {"kty": "EC", "crv": "P-256", "x": "YP7UuiVanTHJYet0xjVtaMBJuJI7Yfps5mliLmDyn7Y",
              "y": "eQP-EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk"}
ISSUER_KEY_THUMBPRINT = "0cebf1bc9880748a95588905b79843b42ba75cb174055e3e246bf87fe00b4a6d"
ISSUER = "https://issuer.example"
CLIENT_ID = "client-1"
# Payload: iss ISSUER, sub user-1, aud client-1, exp 2000000000, iat 1700000000, tid 7, nonce n-1.
TOKEN = (
    "eyJhbGciOiJFUzI1NiIsInR5cCI6IkpXVCIsImtpZCI6IjBjZWJmMWJjOTg4MDc0OGE5NTU4ODkwNWI3OTg0M2I0MmJhNzVjYjE3NDA1NWUzZTI0"
    "NmJmODdmZTAwYjRhNmQifQ.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEiLCJleH"
    "AiOjIwMDAwMDAwMDAsImlhdCI6MTcwMDAwMDAwMCwidGlkIjo3LCJub25jZSI6Im4tMSJ9.dQeuPkh28jJQWt3hmu4d6FZhAohP7r7das3_MIzzFDr"
    "Uzo91EG-y0Pxzv6KYId25A4-WxnEkqDeM9m0YFi45Jw"
)
# Payload: iss ISSUER, sub user-1, aud client-1, exp 1000, iat 900; no tid, no nonce.
TOKEN_EXP_1000 = (
    "eyJhbGciOiJFUzI1NiIsInR5cCI6IkpXVCIsImtpZCI6IjBjZWJmMWJjOTg4MDc0OGE5NTU4ODkwNWI3OTg0M2I0MmJhNzVjYjE3NDA1NWUzZTI0"
    "NmJmODdmZTAwYjRhNmQifQ.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEiLCJle"
    "HAiOjEwMDAsImlhdCI6OTAwfQ.JR8gbjcWEiTsWO34r2Z-QLYQk0KWOUI-iQz3LEU0IlZndWSYwCa2ju7z3Z5eZAqgxFzrtPfxzIxmP0Uh7GiD5w"
)
