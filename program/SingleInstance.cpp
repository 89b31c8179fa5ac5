#include "SingleInstance.h"

#include "UtilBox/FileHelpers.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace kalmora {
namespace {
constexpr std::string_view LockName = ".kalmora-updater.lock";
}

std::string TSingleInstanceLock::LockFileFor(const std::string& databaseDir) {
    return AddTrailingBackslash(databaseDir) + std::string(LockName);
}

TSingleInstanceLock::TSingleInstanceLock(const std::string& databaseDir)
    : FLockFile(LockFileFor(databaseDir)) {
    fs::TFileDescriptor fd(::open(FLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.IsOpen())
        FOpenError = errno;
    else if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
        FFd = std::move(fd);
}

} // namespace kalmora
