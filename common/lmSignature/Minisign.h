#pragma once

// Public keys and signature files in the format of the minisign tool, checked with Ed25519 (and BLAKE2b-512
// for hashed signatures) from libcrypto.
//
// A public key is base64 of "Ed", an 8-byte key id and the 32-byte Ed25519 key: the second line of a
// ".pub" file. A ".minisig" file has four lines: an untrusted comment, the signature line (base64 of the
// algorithm "ED" (signs the BLAKE2b-512 hash of the file) or "Ed" (signs the file itself), the key id and
// the 64-byte signature), "trusted comment: TEXT", and the global signature over the signature bytes
// followed by TEXT.

#include "runtime/Exceptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora {

using TMinisignKeyId = std::array<std::uint8_t, 8>;

struct TMinisignKey {
    TMinisignKeyId KeyId{};
    std::array<std::uint8_t, 32> PublicKey{};
};

// What a verified signature vouches for.
struct TMinisignVerified {
    TMinisignKeyId KeyId{};
    std::string TrustedComment; // the text after "trusted comment: "
};

// A key or signature that is malformed, unknown or does not match. The message is the reason alone:
// "unknown key id ID", "bad signature", "bad comment signature", "malformed line N: WHAT", or for a key
// "not a minisign public key: WHAT".
class ESignatureError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "ESignatureError"; }
};

// The key id as minisign prints it: 16 upper-case hex digits of the id read as a little-endian number.
std::string MinisignKeyIdText(const TMinisignKeyId& keyId);

// Raises ESignatureError when `text` (without surrounding blanks) is not one public key line.
TMinisignKey ParseMinisignKey(std::string_view text);

// Checks `signatureFile` (the whole ".minisig" text) for `message` (the signed file's exact bytes) against
// the key among `keys` whose id the signature names. The comment signature is always checked. Raises
// ESignatureError with the first fault found; line faults come before key and signature faults.
TMinisignVerified VerifyMinisign(std::string_view message, std::string_view signatureFile,
                                 const std::vector<TMinisignKey>& keys);

} // namespace kalmora
