#pragma once

// The configuration server's base URL and the manifest "configinfo.xml" with one element per update kind.

#include "lmWeb/lmWeb.h"

#include <functional>
#include <memory>
#include <string>

namespace kalmora {

// The parsed manifest. Owned through shared_ptr; freed with the last reference.
class TManifestDocument;
using TManifest = std::shared_ptr<const TManifestDocument>;

// A "date" or "url" element that holds anything but at most one text or CDATA node. Ends the update run.
class EManifestError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EManifestError"; }
};

// A setting or variable the run cannot go on without is missing or malformed.
class ENotConfigured : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "ENotConfigured"; }
};

// The machine-wide value that replaces the built-in base URL; per-user values are not read.
inline constexpr std::string_view ConfigBaseUrlSetting = "ConfigBaseUrl";

// KALMORA_CONFIG_BASE_URL when it is set (not empty), else the machine-wide ConfigBaseUrl when that is set,
// else the built-in base URL. Raises ENotConfigured when the override in force is not of the form
// "http://HOST[:PORT]/.../kmdata/kmconfig/" or "https://...".
std::string ConfigBaseUrl();
// Empty when no override is set or the one in force is well-formed; otherwise a line naming the variable or
// the setting.
std::string ConfigBaseUrlProblem();
std::string ManifestUrl();
// Downloads the manifest into workDir (refusing one over 4 MiB); the local file's name. Raises what
// HttpGetFile raises, and EManifestError for a manifest that is too large.
std::string DownloadManifest(const std::string& manifestUrl, const std::string& workDir,
                             const TWorkEvent& onWork);
// Downloads the manifest into workDir and parses it; nullptr for every failure. A failure other than a 404 or
// an abort from onWork is also given to noteFailure. Runs on the calling thread.
TManifest LoadManifest(const std::string& manifestUrl, const std::string& workDir, const TWorkEvent& onWork,
                       const std::function<void(const std::string& reason)>& noteFailure = {});
// Parses a manifest file; nullptr when it is not well-formed, has a document type declaration (nothing in
// a manifest needs one, and refusing it keeps entities and external resources out) or has no root element.
TManifest ParseManifestFile(const std::string& fileName);
// The same for a manifest in memory; `signedManifest` says its signature was verified.
TManifest ParseManifestBytes(std::string_view bytes, bool signedManifest = false);
// True for a manifest whose bytes were verified against a trusted signature before they were parsed.
bool IsSignedManifest(const TManifest& manifest);

// The trimmed texts of a kind's elements, the placeholder in Url replaced; all empty when the kind has no
// entry.
struct TManifestEntry {
    std::string Date;
    std::string Url;
    std::string Sha256;
    std::string Size;
};
// Raises EManifestError (see above).
TManifestEntry ReadManifestEntry(const TManifest& manifest, const std::string& kind);
// Both results empty when the kind has no entry. Raises EManifestError (see above).
void ReadManifestEntry(const TManifest& manifest, const std::string& kind, std::string& date,
                       std::string& url);

} // namespace kalmora
