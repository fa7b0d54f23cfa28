"""The binding itself: its declared shape, the load-time checks, argument checks and the error wire forms."""

import ctypes
import inspect
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

from support import ORIGIN, needs, sdk

REPO = pathlib.Path(__file__).resolve().parents[3]
BINDING_DIR = pathlib.Path(sdk.__file__).resolve().parent


def header_operations():
    """{operation: (C result type, [(C type, argument name), ...])} as the public header declares them."""
    text = (REPO / "include" / "quorvel_sdk_uniffi.h").read_text()
    found = {}
    for result, name, params in re.findall(r"(RustBuffer|uint64_t|int8_t)\s+uniffi_quorvel_sdk_uniffi_fn_func_(\w+)\(([^)]*)\)", text):
        args = [tuple(p.split()) for p in " ".join(params.split()).split(", ")]
        found[name] = (result, [a for a in args if a[0] != "RustCallStatus*"])
    return found


def c_type(kind) -> str:
    return {sdk._U64: "uint64_t", sdk._BOOL: "int8_t"}.get(kind, "RustBuffer")


def nested_string(text: str) -> bytes:
    data = text.encode()
    return struct.pack(">i", len(data)) + data


class DeclaredShape(unittest.TestCase):
    def test_every_operation_matches_the_public_header(self):
        header = header_operations()
        self.assertEqual(sorted(header), sorted(op.name for op in sdk._OPERATIONS))
        for op in sdk._OPERATIONS:
            with self.subTest(op.name):
                result, args = header[op.name]
                self.assertEqual(result, c_type(op.result))
                self.assertEqual(args, [(c_type(kind), name) for name, kind in op.args])

    def test_functions_carry_the_declared_names_and_python_types(self):
        self.assertEqual(
            str(inspect.signature(sdk.delegate)),
            "(tenant_id: int, iss: str, to: str, grants_json: str, exp: int, epoch_label_hex: str, epoch: int, "
            "parent_ref_hash_hex: str, pubkey_hex: Optional[str], signature_hex: str) -> str",
        )
        self.assertIs(inspect.signature(sdk.decode_bool_return).parameters["ret"].annotation, bytes)
        self.assertIs(inspect.signature(sdk.decode_bool_return).return_annotation, bool)
        self.assertIs(inspect.signature(sdk.mint_capability_deed).parameters["base_deed"].annotation, sdk.Deed)
        self.assertIs(inspect.signature(sdk.verify_token_at).return_annotation, sdk.Claims)

    def test_error_variants_are_subclasses_named_like_generated_ones(self):
        for variant in (sdk.SdkError.Sdk, sdk.SdkError.InsecureOrigin):
            self.assertTrue(issubclass(variant, sdk.SdkError))
            self.assertEqual(variant.__qualname__, "SdkError." + variant.__name__)
        self.assertFalse(issubclass(sdk.InternalError, sdk.SdkError))


class FakeLibrary:
    def __init__(self, version=30, checksums=None):
        self.version = version
        self.checksums = checksums or {}

    def contract_version(self):
        return self.version

    def checksum(self, name):
        real = next(op.checksum for op in sdk._OPERATIONS if op.name == name)
        return self.checksums.get(name, real)


class LoadTimeChecks(unittest.TestCase):
    def test_a_library_of_another_interface_is_refused(self):
        cases = [
            (FakeLibrary(version=29), "contract version mismatch"),
            (FakeLibrary(checksums={"decode_bool_return": 24057}), "checksum mismatch for decode_bool_return"),
        ]
        for library, message in cases:
            with self.subTest(message), self.assertRaisesRegex(sdk.InternalError, message):
                sdk._verify_interface(library, sdk._OPERATIONS)

    def test_a_partial_library_loads_and_names_what_it_lacks(self):
        sdk._verify_interface(FakeLibrary(checksums={"delegate": None}), sdk._OPERATIONS)
        absent = sdk._Op("absent_operation", (), sdk._STRING, True, 0, "")
        with self.assertRaisesRegex(sdk.InternalError, "lacks the export uniffi_quorvel_sdk_uniffi_fn_func_absent_operation"):
            sdk._invoke(absent, ())


class Loading(unittest.TestCase):
    """Where a fresh interpreter's import looks for the library; a runtime package holds only its SONAME file."""

    def setUp(self):
        self.runtime = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory()))
        shutil.copy(os.path.realpath(sdk._lib._name), self.runtime / sdk._SONAME)

    @staticmethod
    def import_module(**env):
        clean = {k: v for k, v in os.environ.items() if k not in ("QUORVEL_SDK_UNIFFI_LIB", "LD_LIBRARY_PATH")}
        probe = [sys.executable, "-c", "import quorvel_sdk_uniffi as s; print(s.normalize_origin('https://A.example'))"]
        return subprocess.run(probe, cwd=BINDING_DIR, env=clean | env, capture_output=True, text=True)

    def test_found_by_soname_through_the_loader_path(self):
        found = self.import_module(LD_LIBRARY_PATH=str(self.runtime))
        self.assertEqual((found.returncode, found.stdout), (0, "https://a.example\n"), found.stderr)

    def test_a_missing_library_names_every_place_tried(self):
        cases = [
            ({}, [f"next to the module: {BINDING_DIR / sdk._SONAME}: cannot open",
                  f"the loader's search path: {sdk._SONAME}: cannot open"]),
            ({"QUORVEL_SDK_UNIFFI_LIB": sys.executable}, ["$QUORVEL_SDK_UNIFFI_LIB: "]),
        ]
        for env, places in cases:
            missing = self.import_module(**env)
            if missing.returncode == 0:
                self.skipTest("the library is installed where the loader finds it")
            self.assertIn(f"ImportError: cannot load the library {sdk._SONAME}; tried:", missing.stderr)
            self.assertTrue(all("\n  " + place in missing.stderr for place in places), missing.stderr)

    def test_the_version_is_the_projects(self):
        self.assertEqual(sdk.__version__, re.search(r"project\(\S+ VERSION (\S+)", (REPO / "CMakeLists.txt").read_text())[1])


class Records(unittest.TestCase):
    def test_secrets_are_hidden_from_repr_and_str(self):
        cases = [
            (sdk.AppKey(secret_key_hex="5ec2e7", pubkey_hex="02ab"), "AppKey(secret_key_hex=<hidden>, pubkey_hex='02ab')"),
            (sdk.Pkce(verifier="5ec2e7", challenge="c"), "Pkce(verifier=<hidden>, challenge='c')"),
        ]
        for record, shown in cases:
            self.assertEqual((repr(record), str(record)), (shown, shown))


class ArgumentChecks(unittest.TestCase):
    """Wrong Python values are refused before any buffer is allocated."""

    def test_values_of_the_wrong_type_or_range(self):
        deed = sdk.Deed(v=256, mode="m", tenant=0, sub="", aud="", challenge="", exp=0)
        cases = [
            (sdk.normalize_origin, (b"https://a.example",), TypeError, "argument 'origin': expected str"),
            (sdk.build_client_assertion, ("d", -1, "n", 0), ValueError, "argument 'tenant_id'"),
            (sdk.build_client_assertion, ("d", 2**64, "n", 0), ValueError, "argument 'tenant_id'"),
            (sdk.build_client_assertion, ("d", True, "n", 0), TypeError, "argument 'tenant_id': expected int"),
            (sdk.origin_vouch_binding, (7, "rp", ORIGIN, 1, 2, 1), TypeError, "expected bool"),
            (sdk.decode_bool_return, ("00",), TypeError, "argument 'ret': expected bytes"),
            (sdk.mint_capability_deed, (deed, "[]", "[]"), ValueError, r"Deed\.v"),
            (sdk.mint_capability_deed, ({"v": 1}, "[]", "[]"), TypeError, "expected Deed"),
            (sdk.delegate, (0, "", "", "[]", 0, "", 0, "", 5, ""), TypeError, "argument 'pubkey_hex'"),
            (sdk.normalize_origin, (), TypeError, "missing a required argument: 'origin'"),
            # Caught while lowering: the buffer already made for 'domain' is released.
            (sdk.build_client_assertion, ("d", 1, "\ud800", 0), UnicodeEncodeError, "surrogates not allowed"),
        ]
        for fn, args, error, message in cases:
            with self.subTest(fn.__name__, args=args), self.assertRaisesRegex(error, message):
                fn(*args)

    def test_keyword_arguments_and_the_u64_extremes(self):
        text = sdk.build_client_assertion(issued_at=0, nonce="", tenant_id=2**64 - 1, domain="")
        self.assertEqual(text, "Quorvel client-credentials\ndomain: \ntenant: 18446744073709551615\nnonce: \nissued-at: 0")


class ErrorWireForms(unittest.TestCase):
    def test_refusals_arrive_as_their_variant(self):
        with self.assertRaises(sdk.SdkError.Sdk) as sdk_error:
            sdk.normalize_origin("wallet.example")
        self.assertEqual(sdk_error.exception.message, "input: origin: must start with https:// or http://")
        with self.assertRaises(sdk.SdkError.InsecureOrigin) as insecure:
            sdk.origin_vouch_binding(7, "rp", "http://LocalHost", 1, 2, False)
        self.assertEqual(str(insecure.exception), "http://localhost: scheme must be https in production")

    def test_an_internal_failure_of_the_library_raises_internal_error(self):
        # A bool byte of 2 cannot come from the binding, so it is sent by hand.
        status = sdk._RustCallStatus()
        sdk._EXPORTS["origin_vouch_binding"](7, sdk._STRING.lower("rp"), sdk._STRING.lower(ORIGIN), 1, 2, 2,
                                             ctypes.byref(status))
        with self.assertRaises(sdk.InternalError) as failure:
            sdk._raise_for_status(status, declares_error=True)
        self.assertEqual(str(failure.exception),
                         "Failed to convert arg 'allow_insecure_origin':\nunexpected byte for Boolean")

    @needs("mint_capability_deed")
    def test_a_malformed_record_is_a_failed_conversion_in_the_library(self):
        status = sdk._RustCallStatus()
        broken = sdk._buffer_from(b"\x01" + nested_string("user-sig"))  # ends after the second field
        sdk._EXPORTS["mint_capability_deed"](broken, sdk._STRING.lower("[]"), sdk._STRING.lower("[]"),
                                             ctypes.byref(status))
        with self.assertRaisesRegex(sdk.InternalError, r"^Failed to convert arg 'base_deed':\nnot enough bytes"):
            sdk._raise_for_status(status, declares_error=True)

    def test_status_decoding(self):
        cases = [
            (1, struct.pack(">i", 1) + nested_string("m"), sdk.SdkError.Sdk, "m"),
            (1, struct.pack(">i", 2) + nested_string("é"), sdk.SdkError.InsecureOrigin, "é"),
            (1, struct.pack(">i", 3) + nested_string("m"), sdk.InternalError, "unknown SdkError variant 3"),
            (1, struct.pack(">i", 1) + nested_string("m") + b"x", sdk.InternalError, r"junk data .* \(count: 1\)"),
            (1, struct.pack(">i", 1) + b"\x00\x00\x00\x05m", sdk.InternalError, r"not enough bytes .* \(1 < 5\)"),
            (2, "ünknown".encode(), sdk.InternalError, "ünknown"),
            (3, None, sdk.InternalError, "unexpected call status 3"),
        ]
        for code, payload, error, message in cases:
            with self.subTest(code=code, payload=payload):
                status = sdk._RustCallStatus(code=code)
                if payload is not None:
                    status.error_buf = sdk._buffer_from(payload)
                with self.assertRaisesRegex(error, message):
                    sdk._raise_for_status(status, declares_error=True)

    def test_an_error_status_from_an_operation_without_error_is_internal(self):
        status = sdk._RustCallStatus(code=1)
        status.error_buf = sdk._buffer_from(struct.pack(">i", 1) + nested_string("m"))
        with self.assertRaisesRegex(sdk.InternalError, "unexpected call status 1"):
            sdk._raise_for_status(status, declares_error=False)


if __name__ == "__main__":
    unittest.main()
