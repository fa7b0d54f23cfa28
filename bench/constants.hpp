// Inputs shared by the benchmark areas: a wallet key and signatures that its
// EIP-191 personal sign made over the texts named beside them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bench {

inline const std::string kKeyHex = "4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318";
inline constexpr std::array<std::uint8_t, 32> kKey = {0x4c, 0x08, 0x83, 0xa6, 0x91, 0x02, 0x93, 0x7d, 0x62, 0x31, 0x47,
                                                      0x1b, 0x5d, 0xbb, 0x62, 0x04, 0xfe, 0x51, 0x29, 0x61, 0x70, 0x82,
                                                      0x79, 0x2a, 0xe4, 0x68, 0xd0, 0x1a, 0x3f, 0x36, 0x23, 0x18};
inline const std::string kAddress = "0x2c7536e3605d9c16a7a3d7b1898e529396a65c23";
inline const std::string kPubkeyHex = "024e3b81af9c2234cad09d679ce6035ed1392347ce64ce405f5dcd36228a25de6e";
inline const std::string kOrigin = "https://app.example";

// The root binding for kOrigin.
inline const std::string kRootSig =
    "a5b7f1e82f1a326db5c1b1e5714de0d81fc090600e15ae2e86a320abd71faea8"
    "080c5c73fb0e8cded6c475b984a7e34836c06562a24255a8f27d1becf8166d521c";
// The admin binding for aud "rp", tenant 7, challenge "c1", exp 99, and its signature.
inline const std::string kAdminBinding =
    "rp is requesting administrative access to your Quorvel tenant.\n"
    "\n"
    "Signing this message grants FULL ADMINISTRATIVE ACCESS to the tenant\n"
    "below. Only sign it if you are on rp right now \u2014 signing it on any\n"
    "other site lets that site's operator administer your tenant.\n"
    "\n"
    "Tenant: 7\n"
    "Challenge: c1\n"
    "Expires (unix seconds): 99\n"
    "\n"
    "quorvel-sovereign-admin-v1";
inline const std::string kAdminSig =
    "678de8a9ad61ed24b990ea1262250c0ed42f8d748adf9e9f20b5df892beb0870"
    "1118ae4fb333537dd023e36498f894d8418115882faea7e8232120f379e380f71c";
// The vouch for tenant 7, aud "rp", kOrigin, epoch 3, exp 1700000000.
inline const std::string kVouchSig =
    "59e5b890f116f65a868cb297b7c90da47993cf2d4e3bd5bbae572c1f5e7e734b"
    "02b3940a0b088d7e5d1367a0480a2ccc0302d242399b39b9fac5e7a4b2f077031b";

}  // namespace bench
