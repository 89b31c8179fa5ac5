#include "FileSystem.h"
#include "Folders.h"
#include "TreeOps.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora::fs {
namespace {

// Opens a sub-folder without following a link; a folder of ours without read or search permission is
// opened up first, since its content must go.
TFileDescriptor OpenFolderAt(int parent, const char* name) {
    TFileDescriptor fd = OpenDirectoryAt(parent, name);
    if (!fd.IsOpen() && errno == EACCES) {
        struct stat st {};
        if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            ::fchmodat(parent, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0)
            fd = OpenDirectoryAt(parent, name);
    }
    return fd;
}

// Empties the open folder; 0 when everything in it is gone, else the errno value of the first entry that
// stayed (the walk goes on past it).
int EmptyFolder(int dirFd) {
    struct stat self {};
    if (::fstat(dirFd, &self) == 0 && (self.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(dirFd, (self.st_mode & 07777) | S_IRWXU);
    int first = 0;
    auto keep = [&first](int err) {
        if (err && err != ENOENT && !first)
            first = err;
    };
    std::vector<std::string> names;
    keep(ListNames(dirFd, names)); // what could not be listed stays, and the removal of the folder fails
    for (const auto& name : names) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            keep(errno);
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            keep(RemoveAt(dirFd, name, 0));
            continue;
        }
        TFileDescriptor sub = OpenFolderAt(dirFd, name.c_str());
        if (!sub.IsOpen()) {
            keep(errno);
            continue;
        }
        int err = EmptyFolder(sub.Get());
        sub.Reset();
        keep(err ? err : RemoveAt(dirFd, name, AT_REMOVEDIR));
    }
    return first;
}

} // namespace

bool RemoveTree(const std::string& path) {
    if (path.empty())
        return false;
    TFileDescriptor dir = OpenDirectoryAt(AT_FDCWD, path);
    if (!dir.IsOpen()) {
        if (errno != EACCES)
            return false;
        const std::string parent = ParentDirectory(path);
        TFileDescriptor parentFd = OpenDirectory(parent);
        if (!parentFd.IsOpen())
            return false;
        dir = OpenFolderAt(parentFd.Get(), BaseName(path).c_str());
        if (!dir.IsOpen())
            return false;
    }
    if (EmptyFolder(dir.Get()) != 0)
        return false;
    dir.Reset();
    return ::rmdir(path.c_str()) == 0;
}

int RemoveTreeAt(int parent, const std::string& name) {
    TFileDescriptor dir = OpenFolderAt(parent, name.c_str());
    if (!dir.IsOpen())
        return errno;
    if (int err = EmptyFolder(dir.Get()))
        return err;
    dir.Reset();
    return RemoveAt(parent, name, AT_REMOVEDIR);
}

} // namespace kalmora::fs
