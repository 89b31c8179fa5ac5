#include "Folders.h"

#include "FaultSeam.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora::fs {
namespace {

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool IsPlainDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TFileDescriptor OpenDirectory(const std::string& path) {
    return TFileDescriptor(::open(path.empty() ? "." : path.c_str(), DirectoryFlags));
}

TFileDescriptor OpenDirectoryAt(int parent, const std::string& name) {
    return TFileDescriptor(::openat(parent, name.c_str(), DirectoryFlags | O_NOFOLLOW));
}

int ListNames(int dirFd, std::vector<std::string>& names) {
    // The stream takes over the descriptor it is given, so it gets a copy of its own.
    if (int err = InjectedFault(TFsStep::List))
        return err;
    TFileDescriptor copy(::dup(dirFd));
    if (!copy.IsOpen())
        return errno;
    TDirectoryStream dir(::fdopendir(copy.Get()));
    if (!dir)
        return errno;
    copy.Release();
    // A duplicate shares the position; a walk that listed this folder before must start at its beginning.
    ::rewinddir(dir.get());
    errno = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
        errno = 0;
    }
    return errno;
}

int CreateFolders(const std::string& path, mode_t mode, mode_t parentMode) {
    if (path.empty() || path == "/" || path == ".")
        return 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (int err = CreateFolders(ParentDirectory(path), parentMode, parentMode))
        return err;
    int err = InjectedFault(TFsStep::MakeFolder);
    if (!err && ::mkdir(path.c_str(), mode) == 0)
        return 0;
    if (!err)
        err = errno;
    return err == EEXIST ? (IsFolder(path) ? 0 : ENOTDIR) : err;
}

} // namespace kalmora::fs
