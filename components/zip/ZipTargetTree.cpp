#include "ZipTargetTree.h"

#include "ZipErrors.h"
#include "fs/Folders.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

namespace {

std::string JoinSegments(const std::vector<std::string>& segments, size_t count) {
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            path += '/';
        path += segments[i];
    }
    return path;
}

} // namespace

TZipTargetTree::TZipTargetTree(const std::string& baseDirectory) : FBase(baseDirectory) {
    FBaseFd = fs::OpenDirectory(baseDirectory);
    if (!FBaseFd.IsOpen())
        throw EAbNoSuchDirectory();
}

int TZipTargetTree::Folder(const std::vector<std::string>& segments, size_t count, bool create) {
    if (count == 0)
        return FBaseFd.Get();
    std::string path = JoinSegments(segments, count);
    if (FCachedFd.IsOpen() && path == FCachedPath)
        return FCachedFd.Get();
    FCachedFd.Reset();
    TFileDescriptor current;
    int parent = FBaseFd.Get();
    for (size_t i = 0; i < count; ++i) {
        const std::string& name = segments[i];
        TFileDescriptor fd = fs::OpenDirectoryAt(parent, name);
        if (!fd.IsOpen() && errno == ENOENT && create) {
            if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
                throw EInOutError::FromErrno("Cannot create folder",
                                             FBase + "/" + JoinSegments(segments, i + 1), errno);
            fd = fs::OpenDirectoryAt(parent, name);
        }
        if (!fd.IsOpen()) {
            // A file or a symbolic link where a folder belongs is as fatal as a folder that cannot be made.
            int error = errno == ELOOP ? ENOTDIR : errno;
            throw EInOutError::FromErrno(create ? "Cannot create folder" : "Folder does not exist",
                                         FBase + "/" + JoinSegments(segments, i + 1), error);
        }
        current = std::move(fd);
        parent = current.Get();
    }
    FCachedPath = std::move(path);
    FCachedFd = std::move(current);
    return FCachedFd.Get();
}

TFileDescriptor TZipTargetTree::CreateFile(int folder, const std::string& leaf,
                                           const std::string& shownPath) {
    constexpr int Flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder, leaf.c_str(), Flags, 0600);
    if (fd < 0 && errno == ELOOP) {
        if (::unlinkat(folder, leaf.c_str(), 0) == 0)
            fd = ::openat(folder, leaf.c_str(), Flags | O_EXCL, 0600);
        else
            errno = ELOOP;
    }
    if (fd < 0)
        throw EInOutError::FromErrno("Cannot create file", shownPath, errno);
    return TFileDescriptor(fd);
}

bool TZipTargetTree::Exists(int folder, const std::string& leaf) {
    struct stat st {};
    return ::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void TZipTargetTree::Delete(int folder, const std::string& leaf) {
    ::unlinkat(folder, leaf.c_str(), 0);
}

void TZipTargetTree::DeferFolderAttributes(std::vector<std::string> segments, unsigned mode,
                                           time_t modified) {
    FDeferred.push_back({std::move(segments), mode, modified});
}

void TZipTargetTree::ApplyFolderAttributes() {
    FCachedFd.Reset();
    // Deepest first, so a parent that loses its permissions has no children left to reach.
    std::stable_sort(FDeferred.begin(), FDeferred.end(),
                     [](const auto& a, const auto& b) { return a.segments.size() > b.segments.size(); });
    for (auto it = FDeferred.begin(); it != FDeferred.end(); ++it) {
        try {
            int fd = Folder(it->segments, it->segments.size(), false);
            struct timespec times[2] = {{it->modified, 0}, {it->modified, 0}};
            ::futimens(fd, times);
            ::fchmod(fd, it->mode);
        } catch (const EInOutError&) {
            // The folder went away or was replaced by a file from a later entry: nothing to set.
        }
    }
    FDeferred.clear();
    FCachedFd.Reset();
}

} // namespace kalmora
