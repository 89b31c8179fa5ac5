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

struct TCopyWalk {
    TCopyFailure* Failure;

    bool Fail(const std::string& path, int error) {
        if (Failure) {
            Failure->Path = path;
            Failure->Error = error;
        }
        return false;
    }

    bool CopyFile(int sourceDir, int targetDir, const std::string& name, const struct stat& st,
                  const std::string& shownPath) {
        TFileDescriptor in(::openat(sourceDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (!in.IsOpen())
            return Fail(shownPath, errno);
        // The folder is synced once when all its entries are written.
        if (int err = WriteFileAtomically(targetDir, name, TemporarySiblingName(name), TReplace::Existing,
                                          false, [&](int out) { return FillCopy(in.Get(), out, st); }))
            return Fail(shownPath, err);
        return true;
    }

    bool CopyLink(int sourceDir, int targetDir, const std::string& name, const struct stat& st,
                  const std::string& shownPath) {
        std::string text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = ::readlinkat(sourceDir, name.c_str(), text.data(), text.size());
        if (n < 0)
            return Fail(shownPath, errno);
        if (static_cast<size_t>(n) >= text.size())
            return Fail(shownPath, ENAMETOOLONG);
        text.resize(static_cast<size_t>(n));
        const std::string temp = TemporarySiblingName(name);
        if (::symlinkat(text.c_str(), targetDir, temp.c_str()) != 0)
            return Fail(shownPath, errno);
        if (::renameat(targetDir, temp.c_str(), targetDir, name.c_str()) != 0) {
            int err = errno;
            ::unlinkat(targetDir, temp.c_str(), 0);
            return Fail(shownPath, err);
        }
        return true;
    }

    bool CopyFolder(int sourceDir, int targetDir, const std::string& targetPath) {
        RemoveOrphanedTemporaries(targetDir);
        std::vector<std::string> names;
        if (int err = ListNames(sourceDir, names))
            return Fail(targetPath, err);
        for (const auto& name : names) {
            const std::string shown = targetPath + "/" + name;
            struct stat st {};
            if (::fstatat(sourceDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return Fail(shown, errno);
            bool ok = true;
            if (S_ISDIR(st.st_mode))
                ok = CopySubFolder(sourceDir, targetDir, name, st, shown);
            else if (S_ISLNK(st.st_mode))
                ok = CopyLink(sourceDir, targetDir, name, st, shown);
            else if (S_ISREG(st.st_mode))
                ok = CopyFile(sourceDir, targetDir, name, st, shown);
            else
                ok = Fail(shown, EINVAL); // devices, pipes and sockets have no place in a package
            if (!ok)
                return false;
        }
        ::fsync(targetDir);
        return true;
    }

    bool CopySubFolder(int sourceDir, int targetDir, const std::string& name, const struct stat& st,
                       const std::string& shownPath) {
        TFileDescriptor from = OpenDirectoryAt(sourceDir, name);
        if (!from.IsOpen())
            return Fail(shownPath, errno);
        if (::mkdirat(targetDir, name.c_str(), 0700) == 0) {
            if (::fchmodat(targetDir, name.c_str(), st.st_mode & 0777, 0) != 0)
                return Fail(shownPath, errno);
        } else if (errno != EEXIST) {
            return Fail(shownPath, errno);
        }
        // O_NOFOLLOW: a link or a file standing where the folder goes is an error, never a way out.
        TFileDescriptor to = OpenDirectoryAt(targetDir, name);
        if (!to.IsOpen())
            return Fail(shownPath, errno == ELOOP ? ENOTDIR : errno);
        return CopyFolder(from.Get(), to.Get(), shownPath);
    }
};

} // namespace

void RemoveOrphanedTemporaries(int folder) {
    std::vector<std::string> names;
    ListNames(folder, names);
    for (const auto& name : names)
        if (IsOrphanedTemporaryName(name) && ::unlinkat(folder, name.c_str(), 0) != 0 && errno == EISDIR)
            RemoveTreeAt(folder, name);
}

bool CopyTree(const std::string& source, const std::string& target, TCopyFailure* failure) {
    TCopyWalk walk{failure};
    // The two roots may be links (an installation folder often is); only what lies below them is never
    // followed.
    TFileDescriptor from = OpenDirectory(source);
    if (!from.IsOpen())
        return walk.Fail(source, errno);
    struct stat st {};
    if (::fstat(from.Get(), &st) != 0)
        return walk.Fail(source, errno);
    if (int err = CreateFolders(target, st.st_mode & 0777, 0755))
        return walk.Fail(target, err);
    TFileDescriptor to = OpenDirectory(target);
    if (!to.IsOpen())
        return walk.Fail(target, errno);
    return walk.CopyFolder(from.Get(), to.Get(), target);
}

} // namespace kalmora::fs
