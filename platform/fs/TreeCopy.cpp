#include "FileSystem.h"
#include "TreeOps.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora::fs {
namespace {

constexpr int DirOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct TCopyWalk {
    TCopyFailure* Failure;

    bool Fail(const std::string& path, int error) {
        if (Failure) {
            Failure->Path = path;
            Failure->Error = error;
        }
        return false;
    }

    // Writes `data` through a temporary entry made by `make` and renames it over `name`.
    template <class MakeTemp>
    bool ReplaceEntry(int targetDir, const std::string& name, const std::string& shownPath, MakeTemp make) {
        const std::string temp = TemporarySiblingName(name);
        if (int err = make(temp))
            return Fail(shownPath, err);
        if (::renameat(targetDir, temp.c_str(), targetDir, name.c_str()) != 0) {
            int err = errno;
            ::unlinkat(targetDir, temp.c_str(), 0);
            return Fail(shownPath, err);
        }
        return true;
    }

    bool CopyFile(int sourceDir, int targetDir, const std::string& name, const struct stat& st,
                  const std::string& shownPath) {
        TFileDescriptor in(::openat(sourceDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (!in.IsOpen())
            return Fail(shownPath, errno);
        return ReplaceEntry(targetDir, name, shownPath, [&](const std::string& temp) {
            TFileDescriptor out(::openat(targetDir, temp.c_str(),
                                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!out.IsOpen())
                return errno;
            int err = FillCopy(in.Get(), out.Get(), st);
            if (!err && ::close(out.Release()) != 0)
                err = errno;
            if (err)
                ::unlinkat(targetDir, temp.c_str(), 0);
            return err;
        });
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
        return ReplaceEntry(targetDir, name, shownPath, [&](const std::string& temp) {
            return ::symlinkat(text.c_str(), targetDir, temp.c_str()) == 0 ? 0 : errno;
        });
    }

    bool CopyFolder(int sourceDir, int targetDir, const std::string& targetPath) {
        std::vector<std::string> names;
        {
            int copy = ::dup(sourceDir);
            DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
            if (!dir) {
                if (copy >= 0)
                    ::close(copy);
                return Fail(targetPath, errno);
            }
            while (dirent* entry = ::readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(std::move(name));
            }
            ::closedir(dir);
        }
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
        TFileDescriptor from(::openat(sourceDir, name.c_str(), DirOpenFlags));
        if (!from.IsOpen())
            return Fail(shownPath, errno);
        if (::mkdirat(targetDir, name.c_str(), 0700) == 0) {
            ::fchmodat(targetDir, name.c_str(), st.st_mode & 0777, 0);
        } else if (errno != EEXIST) {
            return Fail(shownPath, errno);
        }
        // O_NOFOLLOW: a link or a file standing where the folder goes is an error, never a way out.
        TFileDescriptor to(::openat(targetDir, name.c_str(), DirOpenFlags));
        if (!to.IsOpen())
            return Fail(shownPath, errno == ELOOP ? ENOTDIR : errno);
        return CopyFolder(from.Get(), to.Get(), shownPath);
    }
};

int CreateFolders(const std::string& path, mode_t mode) {
    if (path.empty() || path == "/" || path == ".")
        return 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (int err = CreateFolders(ParentDirectory(path), 0755))
        return err;
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

} // namespace

bool CopyTree(const std::string& source, const std::string& target, TCopyFailure* failure) {
    TCopyWalk walk{failure};
    // The two roots may be links (an installation folder often is); only what lies below them is never
    // followed.
    TFileDescriptor from(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!from.IsOpen())
        return walk.Fail(source, errno);
    struct stat st {};
    if (::fstat(from.Get(), &st) != 0)
        return walk.Fail(source, errno);
    if (int err = CreateFolders(target, st.st_mode & 0777))
        return walk.Fail(target, err);
    TFileDescriptor to(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!to.IsOpen())
        return walk.Fail(target, errno);
    return walk.CopyFolder(from.Get(), to.Get(), target);
}

} // namespace kalmora::fs
