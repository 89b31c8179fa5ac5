#include "SingleInstance.h"

#include "UtilBox/FileHelpers.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace kalmora {
namespace {

constexpr std::string_view LockName = ".kalmora-updater.lock";

std::string RuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsExistingDirectory(runtime))
        return StripTrailingBackslash(runtime);
    return GetTempDirectory();
}

std::string FullPath(const std::string& configDir) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(StripTrailingBackslash(configDir), ec);
    return std::filesystem::weakly_canonical(absolute, ec).string();
}

std::string RuntimeLockFile(const std::string& fullPath) {
    std::string flat;
    for (char c : fullPath)
        flat += (c == '/') ? '_' : c;
    return AddTrailingBackslash(RuntimeDirectory()) + "kalmora-updater" + flat + ".lock";
}

} // namespace

std::string TSingleInstanceLock::LockFileFor(const std::string& configDir) {
    std::string path = FullPath(configDir);
    if (IsExistingDirectory(path))
        return AddTrailingBackslash(path) + std::string(LockName);
    return RuntimeLockFile(path);
}

TSingleInstanceLock::TSingleInstanceLock(const std::string& configDir) : FLockFile(LockFileFor(configDir)) {
    int fd = ::open(FLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // A configuration folder this user may not write into: lock beside the runtime files instead.
        FLockFile = RuntimeLockFile(FullPath(configDir));
        fd = ::open(FLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    FFd = fd;
}

TSingleInstanceLock::~TSingleInstanceLock() {
    if (FFd >= 0)
        ::close(FFd);
}

} // namespace kalmora
