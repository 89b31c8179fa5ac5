#include "FileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora::fs {

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept {
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int TFileDescriptor::Release() noexcept {
    int fd = FFd;
    FFd = -1;
    return fd;
}

void TFileDescriptor::Reset(int fd) noexcept {
    if (FFd >= 0)
        ::close(FFd);
    FFd = fd;
}

int TFileDescriptor::Close() noexcept {
    if (FFd < 0)
        return 0;
    return ::close(Release()) == 0 ? 0 : errno;
}

namespace {

std::atomic<bool> renameFlagsRefused{false};

int RenameWithFlags(const std::string& from, const std::string& to, unsigned flags) {
    if (renameFlagsRefused.load())
        return EINVAL;
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0 ? 0 : errno;
}

} // namespace

bool RenameFlagsUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

void RefuseRenameFlagsForTesting(bool refuse) {
    renameFlagsRefused.store(refuse);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    const int error = RenameWithFlags(from, to, RENAME_NOREPLACE);
    if (!RenameFlagsUnsupported(error))
        return error;
    // A file system without renameat2 flags (NFS): look first, then a plain rename. Nobody else creates the
    // names the update renames to while it holds its instance lock, so the gap between the two does no harm.
    if (::faccessat(AT_FDCWD, to.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameExchange(const std::string& a, const std::string& b) {
    return RenameWithFlags(a, b, RENAME_EXCHANGE);
}

int SyncDirectory(const std::string& dir) {
    TFileDescriptor fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsOpen())
        return errno;
    return ::fsync(fd.Get()) == 0 ? 0 : errno;
}

std::string ParentDirectory(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int WriteAll(int fd, const void* data, size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int CopyContent(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        if (int err = WriteAll(out, buffer, static_cast<size_t>(n)))
            return err;
    }
}

std::string TemporarySiblingName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    return ".~kmtmp." + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
           name.substr(0, 100);
}

int FillCopy(int in, int out, const struct stat& st) {
    int err = CopyContent(in, out);
    if (!err && ::fchmod(out, st.st_mode & 0777) != 0)
        err = errno;
    if (!err) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (::fsync(out) != 0)
            err = errno;
    }
    return err;
}

int ReadAll(int fd, off_t limit, std::string& text) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        if (static_cast<off_t>(text.size()) + n > limit)
            return EFBIG;
        text.append(buffer, static_cast<size_t>(n));
    }
}

int CopyFileAtomically(const std::string& source, const std::string& target, bool replace) {
    TFileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.IsOpen())
        return errno;
    struct stat st {};
    if (::fstat(in.Get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (!replace && ::faccessat(AT_FDCWD, target.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;

    const std::string folder = ParentDirectory(target);
    const std::string temp = folder + "/" + TemporarySiblingName(BaseName(target));
    TFileDescriptor out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.IsOpen())
        return errno;
    int err = FillCopy(in.Get(), out.Get(), st);
    if (!err && ::close(out.Release()) != 0)
        err = errno;
    if (!err) {
        if (replace)
            err = ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
        else
            err = RenameNoReplace(temp, target);
    }
    if (err) {
        ::unlink(temp.c_str());
        return err;
    }
    SyncDirectory(folder);
    return 0;
}

} // namespace kalmora::fs
