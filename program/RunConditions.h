#pragma once

// What must hold before the update may send a request or write a file: hive files that can be parsed, a
// well-formed server override, well-formed signing keys, a readable ServerCAFile when one is set, absolute
// existing DatabaseDir and InstallDir, an installation identifier and a database folder the program can
// write. Checking writes nothing and asks no server.

#include "kmConfigUpdaterThread/ManifestTrust.h"

#include <string>

namespace kalmora {

struct TRunConditions {
    // Empty when the run may go ahead; otherwise one line naming the setting, file or variable and why.
    std::string Problem;
    std::string InstallationId;
    std::string DatabaseDir; // absolute, with a trailing "/"
    TManifestTrust Trust;
};

// Reads the hives directly first, so that a corrupt one is named once here and never read through the
// settings store (which would log it at every read).
TRunConditions CheckRunConditions(const std::string& machineIdFile = "/etc/machine-id");

} // namespace kalmora
