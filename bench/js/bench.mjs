// The libraries a user would pick instead, on the inputs the native benchmark
// uses: ethers (EIP-191 sign and recover), @noble/curves (a secp256k1
// signature made the way a user-sig deed needs it), jose (ES256 token
// verification, JWK thumbprint), and Node's own JSON with a sorted writer
// (the canonical hash of a grant list). The texts that get signed come from the
// library itself through the qsdk program, so both sides sign identical bytes.
//
//   node bench.mjs <qsdk program> [repetitions] [seconds per repetition]
//
// Prints JSON: for each case, the median CPU time per operation in
// nanoseconds over the repetitions, and the library versions.
import { execFileSync } from "node:child_process";
import { createHash } from "node:crypto";
import { readFileSync } from "node:fs";
import { Wallet, verifyMessage } from "ethers";
import { calculateJwkThumbprint, createLocalJWKSet, exportJWK, generateKeyPair, jwtVerify } from "jose";
import { secp256k1 } from "@noble/curves/secp256k1.js";
import { sha256 } from "@noble/hashes/sha2.js";
import { hexToBytes, utf8ToBytes, concatBytes } from "@noble/hashes/utils.js";

const [qsdk, repetitions = "7", seconds = "0.3"] = process.argv.slice(2);
if (!qsdk) throw new Error("usage: node bench.mjs <qsdk program> [repetitions] [seconds]");
const run = (...args) => execFileSync(qsdk, args, { encoding: "utf8" }).replace(/\n$/, "");

const KEY = "0x4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
const ORIGIN = "https://app.example";
const assertionText = run("build-client-assertion", "--domain", "app.example", "--tenant", "7", "--nonce", "n-1",
                          "--issued-at", "1700000000");
const vouchProse = run("origin-vouch-binding", "--tenant", "7", "--aud", "rp", "--origin", ORIGIN, "--epoch", "3",
                       "--exp", "1700000000");
const vouchSignature = "0x59e5b890f116f65a868cb297b7c90da47993cf2d4e3bd5bbae572c1f5e7e734b" +
                       "02b3940a0b088d7e5d1367a0480a2ccc0302d242399b39b9fac5e7a4b2f077031b";
const userBinding = hexToBytes(run("user-binding", "--tenant", "7", "--aud", "rp", "--origin", ORIGIN,
                                   "--challenge", "c1", "--exp", "99"));
// The subject is SHA-256 over a fixed tag and the compressed key: the tag's
// length, not its text, matters for the time.
const subjectTag = utf8ToBytes("x".repeat(30));

// A token and a three-key set with the signer's key last, as in the native
// benchmark. jose selects keys by "kid", so the issuer's key carries its
// thumbprint here; the library computes each key's thumbprint instead.
const DECOY = { kty: "EC", crv: "P-256", x: "vXxzuIsum0ztpiAistqL4TGTpbVu3Cbn33hC4kzQtes",
                y: "BgWtp72oOsaiuA1-MUBA-kf_Frg7rIXO2wFEUbt85xo" };
const ISSUER_KEY = { kty: "EC", crv: "P-256", x: "YP7UuiVanTHJYet0xjVtaMBJuJI7Yfps5mliLmDyn7Y",
                     y: "eQP-EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk" };
const TOKEN =
  "eyJhbGciOiJFUzI1NiIsInR5cCI6IkpXVCIsImtpZCI6IjBjZWJmMWJjOTg4MDc0OGE5NTU4ODkwNWI3OTg0M2I0MmJhNzVjYjE3NDA1NWUzZTI0" +
  "NmJmODdmZTAwYjRhNmQifQ.eyJpc3MiOiJodHRwczovL2lzc3Vlci5leGFtcGxlIiwic3ViIjoidXNlci0xIiwiYXVkIjoiY2xpZW50LTEiLCJleH" +
  "AiOjIwMDAwMDAwMDAsImlhdCI6MTcwMDAwMDAwMCwidGlkIjo3LCJub25jZSI6Im4tMSJ9.dQeuPkh28jJQWt3hmu4d6FZhAohP7r7das3_MIzzFDr" +
  "Uzo91EG-y0Pxzv6KYId25A4-WxnEkqDeM9m0YFi45Jw";
const ISSUER_KID = "0cebf1bc9880748a95588905b79843b42ba75cb174055e3e246bf87fe00b4a6d";
const other = await exportJWK((await generateKeyPair("ES256", { extractable: true })).publicKey);
const jwks = createLocalJWKSet({ keys: [DECOY, other, { ...ISSUER_KEY, kid: ISSUER_KID }] });
const verifyOptions = { issuer: "https://issuer.example", audience: "client-1",
                        currentDate: new Date(1700000100 * 1000) };

// The native benchmark's 1 MiB grant list, and the canonical form a JSON
// user would hash: members sorted by name at every level, compact.
const grant = (i) => `{"res":"calendar:team/${i}","act":["read","write"],"cav":{"exp":1800000000,` +
  `"max_uses":${i % 97},"nb":{"scope":"work","rate":1.5,"tags":["a","b"]}}}`;
let grantList = "[";
for (let i = 0; grantList.length < 1 << 20; i++) grantList += (i ? "," : "") + grant(i);
grantList += "]";
const canonicalize = (v) => {
  if (Array.isArray(v)) return `[${v.map(canonicalize).join(",")}]`;
  if (v !== null && typeof v === "object")
    return `{${Object.keys(v).sort().map((k) => `${JSON.stringify(k)}:${canonicalize(v[k])}`).join(",")}}`;
  return JSON.stringify(v);
};

const wallet = new Wallet(KEY);
const secret = hexToBytes(KEY.slice(2));

const cases = {
  "ethers signMessageSync": () => wallet.signMessageSync(assertionText),
  "ethers verifyMessage": () => verifyMessage(vouchProse, vouchSignature),
  "@noble/curves sign + getPublicKey, SHA-256 of binding and subject": () => {
    const signature = secp256k1.sign(sha256(userBinding), secret, { prehash: false });
    const pub = secp256k1.getPublicKey(secret, true);
    return [signature, sha256(concatBytes(subjectTag, pub))];
  },
  "jose jwtVerify (local JWKS)": () => jwtVerify(TOKEN, jwks, verifyOptions),
  "jose calculateJwkThumbprint": () => calculateJwkThumbprint(ISSUER_KEY, "sha256"),
  "JSON.parse + canonicalize + SHA-256 (node:crypto)": () =>
    createHash("sha256").update(canonicalize(JSON.parse(grantList))).digest(),
};

// Each case must work before it is timed.
if ((await cases["ethers verifyMessage"]()).toLowerCase() !== "0x2c7536e3605d9c16a7a3d7b1898e529396a65c23")
  throw new Error("ethers recovered another signer");
if ((await cases["jose jwtVerify (local JWKS)"]()).payload.nonce !== "n-1") throw new Error("jose: wrong claims");
if (Buffer.from(await cases["jose calculateJwkThumbprint"](), "base64url").toString("hex") !== ISSUER_KID)
  throw new Error("jose: another thumbprint");

// CPU time per call over a batch that runs for about `seconds`.
async function measure(fn) {
  let batch = 1;
  for (;;) {
    const start = process.cpuUsage();
    for (let i = 0; i < batch; i++) await fn();
    const used = process.cpuUsage(start);
    const micros = used.user + used.system;
    if (micros >= Number(seconds) * 1e6) return (micros * 1e3) / batch;
    batch *= micros < 1000 ? 10 : Math.ceil((Number(seconds) * 1e6) / micros);
  }
}

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

const versions = { node: process.versions.node };
for (const pkg of ["ethers", "jose", "@noble/curves"])
  versions[pkg] = JSON.parse(readFileSync(new URL(`./node_modules/${pkg}/package.json`, import.meta.url))).version;

const results = [];
for (const [name, fn] of Object.entries(cases)) {
  for (let i = 0; i < 200; i++) await fn();  // warm the JIT
  const reps = [];
  for (let r = 0; r < Number(repetitions); r++) reps.push(await measure(fn));
  results.push({ name, ns: median(reps), reps });
}
console.log(JSON.stringify({ versions, results }, null, 1));
