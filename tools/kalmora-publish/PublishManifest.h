#pragma once

// `kalmora-publish manifest`: checks the packages of a server folder and writes its configinfo.xml.

#include <optional>
#include <string>
#include <vector>

namespace kalmora::publish {

struct TKindDate {
    std::string Kind; // "dev", "partner" or "patch"
    std::string Date; // the opaque date text the clients compare
};

// The fault of a date text, empty when the clients read it back unchanged (no blanks around it, no control
// characters, not empty).
std::string DateTextProblem(const std::string& date);

// Checks KIND.zip in `dir` for every dated kind and writes dir/configinfo.xml atomically with each kind's
// date, url ("#KMCONFIGDIR#KIND.zip"), sha256 and size, in the order dev, partner, patch. A package in `dir`
// without a date, a dated one that is missing or one that would not install is a fault: then nothing is
// written. Returns the faults, one line each naming the file; none when the manifest was written.
std::vector<std::string> PublishManifest(const std::string& dir, const std::vector<TKindDate>& dates,
                                         const std::optional<std::string>& password);

} // namespace kalmora::publish
