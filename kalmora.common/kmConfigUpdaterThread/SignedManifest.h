#pragma once

// The manifest of an installation in signed mode: fetched with its ".minisig" file, its exact bytes verified
// before they are parsed.

#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "kmConfigUpdaterThread/UpdateReport.h"

#include <cstdint>
#include <string>

namespace kalmora {

// Downloads the manifest into workDir, then its signature (manifestUrl + ".minisig"), and parses the
// manifest only once VerifyManifestSignature accepted it; `timestamp` then holds its N. nullptr for a
// manifest answered 404 (the server offers none: nothing to verify), for a cancel through onWork, and for
// every failure, which goes to noteFailure with the URL at fault. Runs on the calling thread.
TManifest LoadSignedManifest(const std::string& manifestUrl, const std::string& workDir,
                             const TWorkEvent& onWork, const TManifestTrust& trust, std::uint64_t& timestamp,
                             const TFailureNote& noteFailure);

} // namespace kalmora
