#pragma once

// Whom a signed installation trusts and what it requires of a manifest's signature. An installation with at
// least one key in the machine-wide value UpdateSigningKeys is in signed mode: its manifest must come with a
// ".minisig" file by one of those keys whose trusted comment holds "timestamp:N", and N must not be older
// than the one recorded for the last accepted manifest. These are the checks the publisher's tool makes too.

#include "lmSignature/Minisign.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora {

inline constexpr std::string_view SigningKeysValue = "UpdateSigningKeys";
inline constexpr std::string_view LastManifestTimestampValue = "lastmanifesttimestamp";
// What the signature of a manifest at URL is fetched from: URL + this.
inline constexpr std::string_view SignatureSuffix = ".minisig";

struct TManifestTrust {
    std::vector<TMinisignKey> Keys; // none: the installation is not in signed mode
    std::optional<std::uint64_t> LastTimestamp;
    bool SignedMode() const { return !Keys.empty(); }
};

// Keys separated by blanks, line breaks or ";" (none in a blank text). Raises ESignatureError naming the
// first entry that is not a minisign public key.
std::vector<TMinisignKey> ParseSigningKeyList(std::string_view text);

// Reads UpdateSigningKeys and, in signed mode, lastmanifesttimestamp from the machine-wide hive alone; a
// per-user UpdateSigningKeys is ignored with one warning in the debug log. `problem` gets one line naming
// the setting when either value is malformed (the keys are then empty).
TManifestTrust ReadManifestTrust(std::string& problem);

// The N of the first "timestamp:N" field of a trusted comment (fields are separated by tabs); nothing when
// there is no such field or N is no decimal number.
std::optional<std::uint64_t> TrustedCommentTimestamp(std::string_view trustedComment);

struct TManifestSignature {
    TMinisignKeyId KeyId{};
    std::uint64_t Timestamp = 0;
    std::string TrustedComment;
};

// Verifies a manifest's exact bytes against its signature file: by one of `keys`, with a timestamp, and not
// older than `lastTimestamp` (the same one again is accepted). Raises ESignatureError with the reason.
TManifestSignature VerifyManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                           const std::vector<TMinisignKey>& keys,
                                           std::optional<std::uint64_t> lastTimestamp);

} // namespace kalmora
