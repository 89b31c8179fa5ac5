#pragma once

// Whether an updater would install a package as it is: the archive opens with the updater's own reader,
// every entry lies inside the one top-level folder named after its kind, and every entry extracts (the
// patch's with its password).

#include <optional>
#include <string>
#include <vector>

namespace kalmora::publish {

// The faults of the package file of `kind`, one line each without the file's name, in archive order; none
// when it would install. Without a password the encrypted entries of a patch are not opened (everything
// else is still checked). Extracts into a work folder below the temporary directory and removes it.
std::vector<std::string> CheckPackageArchive(const std::string& packageFile, const std::string& kind,
                                             const std::optional<std::string>& password);

} // namespace kalmora::publish
