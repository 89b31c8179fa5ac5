#pragma once

// One update run per installation at a time: an advisory lock on a file of the installation. The lock goes
// with the process, so one left by a dead process never blocks.

#include <string>

namespace kalmora {

class TSingleInstanceLock {
public:
    // Tries to take the lock for the installation whose configuration directory is configDir.
    explicit TSingleInstanceLock(const std::string& configDir);
    ~TSingleInstanceLock();
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    // False when another process holds the lock.
    bool Acquired() const { return FFd >= 0; }
    const std::string& LockFile() const { return FLockFile; }

    // In configDir when it exists, else in the runtime or temporary directory, named after configDir's full
    // path.
    static std::string LockFileFor(const std::string& configDir);

private:
    int FFd = -1;
    std::string FLockFile;
};

} // namespace kalmora
