#pragma once

// A fresh folder below the temporary directory for one check, deleted with its content however the check
// ends. Its name is unique (mkdtemp): publishers run several checks at once, and the updater's fixed name
// sequence would hand them all the same folder.

#include "UtilBox/FileHelpers.h"
#include "runtime/Exceptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kalmora::publish {

class TWorkFolder {
public:
    // Raises EInOutError when the folder cannot be made.
    TWorkFolder() {
        std::string pattern = GetTempDirectory() + "/kalmora-publish.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw EInOutError("Cannot create a work folder below " + GetTempDirectory() + ": " +
                              std::strerror(errno));
        Path = pattern;
    }
    ~TWorkFolder() { DeleteDirectoryTree(Path); }
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;
    std::string Path; // without a trailing "/"
};

} // namespace kalmora::publish
