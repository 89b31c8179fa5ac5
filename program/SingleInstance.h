#pragma once

// One update run per installation at a time: an advisory lock on a file in the installation's database
// folder, which exists before any run (a fresh installation has no "config" folder yet, and two runs started
// together must still meet on the same file). The lock goes with the process, so one left by a dead process
// never blocks.

#include "fs/FileSystem.h"

#include <string>

namespace kalmora {

class TSingleInstanceLock {
public:
    // Tries to take the lock for the installation whose database folder is databaseDir (absolute).
    explicit TSingleInstanceLock(const std::string& databaseDir);

    // False when another process holds the lock, or the lock file cannot be opened (OpenError then says why).
    bool Acquired() const { return FFd.IsOpen(); }
    int OpenError() const { return FOpenError; }
    const std::string& LockFile() const { return FLockFile; }

    static std::string LockFileFor(const std::string& databaseDir);

private:
    std::string FLockFile;
    fs::TFileDescriptor FFd;
    int FOpenError = 0;
};

} // namespace kalmora
