#include "FolderReplace.h"

#include "UtilBox/FileHelpers.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

// The renames must reach the disk before the old content is deleted, or a power cut could lose both.
void SyncParent(const std::string& path) {
    auto parent = std::filesystem::path(path).parent_path();
    int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool ExchangeUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

std::string SetAsideName(const std::string& target) {
    return StripTrailingBackslash(target) + ".~old";
}

bool ReplaceFolder(const std::string& newFolder, const std::string& target) {
    const std::string from = StripTrailingBackslash(newFolder);
    const std::string to = StripTrailingBackslash(target);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
        SyncParent(to);
        return true;
    }
    const int error = errno;
    if (error == ENOENT && !Exists(to)) {
        bool moved = RenameNoReplace(from, to);
        if (moved)
            SyncParent(to);
        return moved;
    }
    if (!ExchangeUnsupported(error))
        return false;

    const std::string aside = SetAsideName(to);
    RecoverReplacedFolder(to);
    if (!RenameNoReplace(to, aside))
        return false;
    if (!RenameNoReplace(from, to)) {
        RenameNoReplace(aside, to);
        return false;
    }
    SyncParent(to);
    DeleteDirectoryTree(aside);
    return true;
}

void RecoverReplacedFolder(const std::string& target) {
    const std::string to = StripTrailingBackslash(target);
    const std::string aside = SetAsideName(to);
    if (!Exists(aside))
        return;
    if (!Exists(to))
        RenameNoReplace(aside, to);
    else
        DeleteDirectoryTree(aside);
}

} // namespace kalmora
