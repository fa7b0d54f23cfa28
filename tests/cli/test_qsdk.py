"""The qsdk program end to end: what it prints, on which stream, with which exit status."""

import json
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import unittest

REPO = pathlib.Path(__file__).resolve().parents[2]
QSDK = os.environ.get("QSDK_CLI", str(REPO / "build" / "qsdk"))
KEY = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318"
SONAME = "libquorvel_sdk_uniffi.so.0"
VERSION = re.search(r"project\(\S+ VERSION (\S+)", (REPO / "CMakeLists.txt").read_text())[1]


def qsdk(*args, stdin=b"", env=None, program=QSDK):
    argv = [str(program)] + [a if isinstance(a, bytes) else str(a) for a in args]
    done = subprocess.run(argv, input=stdin, capture_output=True, env=env or os.environ)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def header_operations():
    """{operation: [argument names]} from the public header."""
    text = (REPO / "include" / "quorvel_sdk_uniffi.h").read_text()
    found = re.findall(r"uniffi_quorvel_sdk_uniffi_fn_func_(\w+)\(([^)]*)\)", text)
    return {name: [p.split()[-1] for p in " ".join(params.split()).split(", ") if not p.startswith("RustCallStatus")]
            for name, params in found}


class Outcomes(unittest.TestCase):
    def test_results_print_on_standard_output(self):
        word = "00" * 31
        cases = [
            (("normalize-origin", "--origin", "https://A.example:443/"), "https://a.example\n"),
            (("origin-vouch-max-ttl-secs",), "7776000\n"),
            (("decode-bool-return", "--ret", word + "01"), "true\n"),
            (("decode-bool-return", "--ret=" + word + "00"), "false\n"),
            (("decode-bool-return", "--ret", "0x" + word + "01"), "true\n"),  # as a JSON-RPC answer carries it
            (("is-origin-voucher-calldata", "--tenant", 1, "--signer-hex", "0x" + "00" * 20, "--epoch", 1),
             "04e8e8da" + "00" * 31 + "01" + "00" * 63 + "01\n"),
            (("pkce-challenge", "--verifier", "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
             "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM\n"),
            (("build-client-assertion", "--domain", "", "--tenant", 18446744073709551615, "--nonce", "n",
              "--issued-at", 0),
             "Quorvel client-credentials\ndomain: \ntenant: 18446744073709551615\nnonce: n\nissued-at: 0\n"),
        ]
        for args, expected in cases:
            with self.subTest(args[0]):
                self.assertEqual(qsdk(*args), (0, expected, ""))

    def test_records_print_as_json_objects(self):
        code, out, err = qsdk("generate-pkce")
        self.assertEqual((code, err), (0, ""))
        pkce = json.loads(out)
        self.assertEqual(list(pkce), ["verifier", "challenge"])
        self.assertEqual(qsdk("pkce-challenge", "--verifier", pkce["verifier"])[1], pkce["challenge"] + "\n")

    def test_refusals_print_the_sdk_error_and_exit_1(self):
        cases = [
            (("normalize-origin", "--origin", "wallet.example"),
             "SdkError.Sdk: input: origin: must start with https:// or http://\n"),
            (("origin-vouch-binding", "--tenant", 7, "--aud", "rp", "--origin", "http://localhost", "--epoch", 1,
              "--exp", 2), "SdkError.InsecureOrigin: http://localhost: scheme must be https in production\n"),
            (("decode-bool-return", "--ret", ""), "SdkError.Sdk: input: isOriginVoucher returned 0 bytes, expected 32\n"),
            (("sign-client-assertion", "--secret-key-hex", "0X" + KEY, "--domain", "d", "--tenant", 1, "--nonce", "n",
              "--issued-at", 1), "SdkError.Sdk: input: Invalid character 'X' at position 1\n"),
        ]
        for args, message in cases:
            with self.subTest(args[0]):
                self.assertEqual(qsdk(*args), (1, "", message))

    def test_an_internal_failure_exits_2(self):
        code, out, err = qsdk("normalize-origin", "--origin", b"https://\xff.example")
        self.assertEqual((code, out), (2, ""))
        self.assertTrue(err.startswith("internal failure: Failed to convert arg 'origin':\n"), err)

    def test_usage_errors_exit_2_without_calling(self):
        cases = [
            ((), "a subcommand is needed"),
            (("frob",), "unknown subcommand 'frob'"),
            (("normalize-origin",), "missing --origin <text>"),
            (("normalize-origin", "--origin"), "--origin needs a value"),
            (("normalize-origin", "--origin", "a", "--origin", "b"), "--origin given twice"),
            (("normalize-origin", "--host", "a"), "unknown flag --host"),
            (("origin-vouch-max-ttl-secs", "7"), "unexpected argument '7'"),
            (("build-client-assertion", "--domain", "d", "--tenant", "-7", "--nonce", "n", "--issued-at", 0),
             "--tenant: expected an unsigned 64-bit decimal number, got '-7'"),
            (("decode-bool-return", "--ret", "zz"), "--ret: not hex: 'z' at position 0"),
            (("mint-capability-deed", "--base-deed", "{}", "--grants-json", "[]", "--delegation-chain-json", "[]"),
             "--base-deed: missing field `v`"),
        ]
        for args, problem in cases:
            with self.subTest(args):
                code, out, err = qsdk(*args)
                self.assertEqual((code, out), (2, ""))
                self.assertEqual(err.splitlines()[0], "qsdk: " + problem)

    def test_secrets_read_from_standard_input_or_a_file_give_the_same_deed(self):
        mint = ("mint-user-deed", "--tenant", 7, "--aud", "rp", "--origin", "https://app.example", "--challenge", "c",
                "--exp", 99, "--secret-key-hex")
        with tempfile.NamedTemporaryFile("w", suffix=".key") as key_file:
            key_file.write(KEY + "\n")
            key_file.flush()
            runs = [qsdk(*mint, KEY), qsdk(*mint, "-", stdin=(KEY + "\n").encode()), qsdk(*mint, "@" + key_file.name)]
        self.assertEqual(runs[0][0], 0, runs[0][2])
        self.assertEqual(runs[1:], runs[:1] * 2)


def without_library_variable(**extra):
    return {k: v for k, v in os.environ.items() if k not in ("QUORVEL_SDK_UNIFFI_LIB", "LD_LIBRARY_PATH")} | extra


@unittest.skipUnless(os.environ.get("QUORVEL_SDK_UNIFFI_LIB"), "needs QUORVEL_SDK_UNIFFI_LIB to copy the library from")
class Loading(unittest.TestCase):
    """Where the program looks for the library, with a copy of it alone in a directory of its own."""

    def setUp(self):
        tmp = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory()))
        self.program, self.runtime = tmp / "qsdk", tmp / "lib"
        shutil.copy(QSDK, self.program)
        self.runtime.mkdir()
        # A runtime package's layout: the real file and its SONAME link, no development link.
        real = "libquorvel_sdk_uniffi.so." + VERSION
        shutil.copy(os.path.realpath(os.environ["QUORVEL_SDK_UNIFFI_LIB"]), self.runtime / real)
        (self.runtime / SONAME).symlink_to(real)

    def test_found_by_soname_through_the_loader_path_and_versioned(self):
        code, out, err = qsdk("--version", env=without_library_variable(LD_LIBRARY_PATH=str(self.runtime)),
                              program=self.program)
        self.assertEqual(code, 0, err)
        self.assertEqual(out.splitlines(), [
            f"qsdk {VERSION}",
            f"library {VERSION} ({self.runtime}/libquorvel_sdk_uniffi.so.{VERSION}: read from the file name)",
            "contract 30 (qsdk speaks 30)",
        ])

    def test_a_missing_library_names_every_place_tried(self):
        cases = [
            (without_library_variable(), [f"next to this program: {self.program.parent / SONAME}: cannot open",
                                          f"the loader's search path: {SONAME}: cannot open"]),
            (without_library_variable(QUORVEL_SDK_UNIFFI_LIB=str(self.program)), ["$QUORVEL_SDK_UNIFFI_LIB: "]),
        ]
        for env, places in cases:
            code, out, err = qsdk("origin-vouch-max-ttl-secs", env=env, program=self.program)
            if code == 0:
                self.skipTest("the library is installed where the loader finds it")
            self.assertEqual((code, out), (2, ""))
            self.assertTrue(err.startswith(f"qsdk: cannot load the library {SONAME}; tried:"), err)
            self.assertTrue(all("\n  " + place in err for place in places), err)


class Help(unittest.TestCase):
    def test_the_tool_lists_every_operation(self):
        code, out, _ = qsdk("--help")
        self.assertEqual(code, 0)
        listed = re.findall(r"^  ([a-z0-9-]+)  ", out, re.M)
        self.assertEqual(listed, [name.replace("_", "-") for name in header_operations()])

    def test_hex_arguments_state_their_prefix_rule_and_secrets_their_sources(self):
        for command, line in (("decode-bool-return", '--ret <hex> the 32-byte ABI return word; hex; one optional "0x" or "0X"'),
                              ("sign-client-assertion", "--secret-key-hex <hex|-|@FILE> secp256k1 secret key, 24 to 32 bytes")):
            self.assertIn(line, " ".join(qsdk(command, "--help")[1].split()))

    def test_each_subcommand_names_its_arguments(self):
        for name, arguments in header_operations().items():
            with self.subTest(name):
                code, out, err = qsdk(name.replace("_", "-"), "--help")
                self.assertEqual((code, err), (0, ""))
                self.assertTrue(out.startswith("Usage: qsdk " + name.replace("_", "-")))
                self.assertEqual(re.findall(r"\(argument (\w+)\)", out), arguments)


class Deeds(unittest.TestCase):
    def succeed(self, *args, stdin=b""):
        code, out, err = qsdk(*args, stdin=stdin)
        if code == 2 and "lacks the export" in err:
            self.skipTest(err.strip())
        self.assertEqual(code, 0, err)
        return out

    def test_a_printed_deed_is_read_back_from_standard_input(self):
        minted = self.succeed("mint-user-deed", "--secret-key-hex", KEY, "--tenant", 7, "--aud", "rp", "--origin",
                         "https://app.example", "--challenge", "c1", "--exp", 99)
        deed = json.loads(minted)
        self.assertEqual((deed["v"], deed["mode"], deed["tenant"], deed["grants"]), (1, "user-sig", 7, None))
        extended = json.loads(self.succeed("mint-capability-deed", "--base-deed", "-", "--grants-json", " [ ] ",
                                      "--delegation-chain-json", "[]", stdin=minted.encode()))
        self.assertEqual(extended, dict(deed, grants="[]", delegations="[]"))


if __name__ == "__main__":
    unittest.main()
