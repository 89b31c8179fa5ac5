#include "FolderReplace.h"

#include "UtilBox/FileHelpers.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <sys/stat.h>

namespace kalmora {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The renames must reach the disk before the old content is deleted, or a power cut could lose both.
void SyncParent(const std::string& path) {
    fs::SyncDirectory(fs::ParentDirectory(path));
}

} // namespace

std::string SetAsideName(const std::string& target) {
    return StripTrailingBackslash(target) + ".~old";
}

int ReplaceFolder(const std::string& newFolder, const std::string& target) {
    const std::string from = StripTrailingBackslash(newFolder);
    const std::string to = StripTrailingBackslash(target);
    const int error = fs::RenameExchange(from, to);
    if (error == 0) {
        SyncParent(to);
        return 0;
    }
    if (error != ENOENT && !fs::RenameFlagsUnsupported(error))
        return error;

    // No atomic exchange (or no target yet): the old folder goes aside under a name the next run recognises,
    // so a crash between the two renames leaves it there to be put back.
    RecoverReplacedFolder(to);
    if (!Exists(to)) {
        const int err = fs::RenameNoReplace(from, to);
        if (err == 0)
            SyncParent(to);
        return err;
    }
    const std::string aside = SetAsideName(to);
    if (int err = fs::RenameNoReplace(to, aside))
        return err;
    if (int err = fs::RenameNoReplace(from, to)) {
        fs::RenameNoReplace(aside, to);
        return err;
    }
    SyncParent(to);
    DeleteDirectoryTree(aside);
    return 0;
}

void RecoverReplacedFolder(const std::string& target) {
    const std::string to = StripTrailingBackslash(target);
    const std::string aside = SetAsideName(to);
    if (!Exists(aside))
        return;
    if (!Exists(to))
        fs::RenameNoReplace(aside, to);
    else
        DeleteDirectoryTree(aside);
}

} // namespace kalmora
