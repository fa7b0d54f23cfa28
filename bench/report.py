#!/usr/bin/env python3
"""Turns one run of scripts/bench into docs/performance.md's tables.

Reads Google Benchmark's JSON (median aggregates; "op/<operation>" entries
carry their floor's name as label, "floor/<name>" entries are the floors) and
the alternatives' JSON from bench/js/bench.mjs, and prints Markdown: the
machine, every operation beside its floor, and the side-by-side table. Fails
when an operation of the public header has no benchmark.
"""

import argparse
import json
import os
import pathlib
import platform
import re
import sys

# Task, our operation, and what a user would pick instead (a case of bench.mjs).
ALTERNATIVES = [
    ("EIP-191 personal sign (client assertion)", "sign_client_assertion", "ethers signMessageSync"),
    ("EIP-191 signer recovery (origin vouch)", "origin_vouch_signer", "ethers verifyMessage"),
    ("secp256k1 signature as a user-sig deed", "mint_user_deed",
     "@noble/curves sign + getPublicKey, SHA-256 of binding and subject"),
    ("ES256 token verification, 3-key JWKS", "verify_token_at", "jose jwtVerify (local JWKS)"),
    ("JWK thumbprint (RFC 7638)", "issuer_key_id", "jose calculateJwkThumbprint"),
    ("Canonical hash of a 1 MiB grant list", "mint_capability_deed [1 MiB grants]",
     "JSON.parse + canonicalize + SHA-256 (node:crypto)"),
]


def duration(ns):
    if ns is None:
        return "—"
    if ns < 1e3:
        return f"{ns:.0f} ns"
    if ns < 1e6:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns / 1e6:.2f} ms"


def ratio(a, b):
    return f"{a / b:.2f}×" if a is not None and b else "—"


def header_operations(header):
    return re.findall(r"uniffi_quorvel_sdk_uniffi_fn_func_(\w+)\(", header.read_text())


def native_medians(path):
    """{benchmark name: (median CPU ns, label)}; failed benchmarks map to (None, error)."""
    out = {}
    for b in json.loads(path.read_text())["benchmarks"]:
        name = b.get("run_name", b["name"])
        if b.get("error_occurred"):
            out[name] = (None, b.get("error_message", "failed"))
        elif b.get("aggregate_name") == "median":
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            out[name] = (b["cpu_time"] * scale, b.get("label", ""))
    return out


def operation_table(results, operations):
    rows = sorted(((name[3:], value) for name, value in results.items() if name.startswith("op/")),
                  key=lambda r: (operations.index(r[0].split(" ")[0]) if r[0].split(" ")[0] in operations
                                 else len(operations), r[0]))
    lines = ["| Operation | Time | Floor (bare primitive) | Floor time | Ratio |", "|---|--:|---|--:|--:|"]
    for op, (ns, label) in rows:
        if ns is None:
            lines.append(f"| `{op}` | failed: {label} | | | |")
            continue
        floor_ns = results.get("floor/" + label, (None, ""))[0] if label else None
        lines.append(f"| `{op}` | {duration(ns)} | {label or 'none (returns a constant)'} | "
                     f"{duration(floor_ns)} | {ratio(ns, floor_ns)} |")
    measured = {op.split(" ")[0] for op, _ in rows}
    missing = [op for op in operations if op not in measured]
    return "\n".join(lines), missing


def alternatives_table(results, alternatives):
    found = {r["name"]: r["ns"] for r in alternatives["results"]}
    lines = ["| Task | quorvel_sdk_uniffi (C interface) | Time | Alternative (Node.js) | Time | Alternative ÷ ours |",
             "|---|---|--:|---|--:|--:|"]
    for task, op, alternative in ALTERNATIVES:
        ours = results.get("op/" + op, (None, ""))[0]
        theirs = found.get(alternative)
        lines.append(f"| {task} | `{op}` | {duration(ours)} | {alternative} | {duration(theirs)} | "
                     f"{ratio(theirs, ours)} |")
    v = alternatives["versions"]
    versions = ", ".join(f"{k} {v[k]}" for k in ("ethers", "jose", "@noble/curves")) + f"; Node.js {v['node']}"
    return "\n".join(lines), versions


def machine(load_before, repetitions):
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
                 platform.processor() or "unknown")
    load_after = " ".join(pathlib.Path("/proc/loadavg").read_text().split()[:3])
    return (f"- CPU: {model}, {os.cpu_count()} logical CPUs (`nproc`); {platform.system()} {platform.release()}\n"
            f"- Load average (1, 5, 15 min) before the run: {load_before}; after: {load_after}. The machine is "
            f"shared, so every time is the median of {repetitions} repetitions, in CPU time per call.")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--native", type=pathlib.Path, required=True)
    p.add_argument("--alternatives", type=pathlib.Path, required=True)
    p.add_argument("--header", type=pathlib.Path, required=True)
    p.add_argument("--load-before", required=True)
    p.add_argument("--repetitions", required=True)
    a = p.parse_args()

    results = native_medians(a.native)
    operations, missing = operation_table(results, header_operations(a.header))
    alternatives, versions = alternatives_table(results, json.loads(a.alternatives.read_text()))
    print(f"""# Performance

Measured by `./scripts/bench`, which rewrites this file's tables with `--write-docs`.

## Machine

{machine(a.load_before, a.repetitions)}

## Every operation beside its floor

Each operation is called through the C interface exactly as a host calls it: argument buffers made
by the library's allocator, the call, the result released. Its floor is the bare cryptographic
primitive it wraps (libsecp256k1, OpenSSL, Crypto++), measured in the same run; an operation that
wraps no primitive is measured beside copying its argument texts into library buffers. A floor holds
only work the operation cannot avoid: a signer's recovery is the bare parse and recovery of the same
signature from the same digest. The ratio is the operation's time over its floor's.

{operations}

Reading the ratios: for the operations built on a signature, recovery or key derivation, a ratio
near 1 means the boundary (argument buffers, hex and UTF-8 checks, record encoding, the failure
barrier) costs little beside the primitive. Operations that wrap no primitive, or only a SHA-256
of a few blocks, are dominated by their own text, hex and JSON work and by the buffer copies, so
their ratios are large while their times stay at a few microseconds. The `parent_ref_hash_link`
rows show the JSON layer's throughput against SHA-256's over the same bytes; `mint_capability_deed`
hashes nothing, so its rows stand beside the copies of its arguments, and the 1 MiB one also beside
SHA-256 of its grant list. The anchor rows set the same calls beside what a C++ program would do
without the library for the same canonical text (RapidJSON 1.1.0 or simdjson 3.0.1 DOM, members
sorted, compact write, SHA-256; each call builds its own parser), and the Node.js table below
carries `JSON.parse` with a canonical write.

## Against what a user would pick instead

The same tasks in Node.js with the libraries a user would reach for ({versions}), on the same
inputs (the signed texts come from the library through `qsdk`), measured in the same script.

{alternatives}

ethers and @noble/curves do secp256k1 arithmetic in JavaScript; jose verifies ES256 through
Node.js's WebCrypto, which is OpenSSL underneath, so its gap is the smallest. jose finds the key by
the token's `kid` among keys that carry one (the signer's does here); the native benchmark's key
set carries no `kid`, so `verify_token_at` matches the token's against each key's thumbprint, which
it computes.
""")
    if missing:
        print("operations without a benchmark: " + ", ".join(missing), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
