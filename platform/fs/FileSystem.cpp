#include "FileSystem.h"

#include "FaultSeam.h"
#include "Folders.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

int RenameWithFlags(int fromDir, const std::string& from, int toDir, const std::string& to, unsigned flags) {
    if (renameFlagsRefused.load())
        return EINVAL;
    if (int err = InjectedFault(TFsStep::Rename))
        return err;
    return ::renameat2(fromDir, from.c_str(), toDir, to.c_str(), flags) == 0 ? 0 : errno;
}

} // namespace

bool RenameFlagsUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

void RefuseRenameFlagsForTesting(bool refuse) {
    renameFlagsRefused.store(refuse);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
    const int error = RenameWithFlags(fromDir, from, toDir, to, RENAME_NOREPLACE);
    if (!RenameFlagsUnsupported(error))
        return error;
    // A file system without renameat2 flags (NFS): look first, then a plain rename. Nobody else creates the
    // names the update renames to while it holds its instance lock, so the gap between the two does no harm.
    if (::faccessat(toDir, to.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return RenameAt(fromDir, from, toDir, to);
}

int RenameExchange(const std::string& a, const std::string& b) {
    return RenameWithFlags(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE);
}

int SyncDirectory(const std::string& dir) {
    TFileDescriptor fd = OpenDirectory(dir);
    if (!fd.IsOpen())
        return errno;
    return SyncFile(fd.Get());
}

int SyncFile(int fd) {
    if (int err = InjectedFault(TFsStep::Sync))
        return err;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int RenameAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (int err = InjectedFault(TFsStep::Rename))
        return err;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
}

int LinkAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (int err = InjectedFault(TFsStep::Link))
        return err;
    return ::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) == 0 ? 0 : errno;
}

int MakeFolderAt(int dir, const std::string& name, mode_t mode) {
    if (int err = InjectedFault(TFsStep::MakeFolder))
        return err;
    return ::mkdirat(dir, name.c_str(), mode) == 0 ? 0 : errno;
}

int RemoveAt(int dir, const std::string& name, int flags) {
    if (int err = InjectedFault(TFsStep::Remove))
        return err;
    return ::unlinkat(dir, name.c_str(), flags) == 0 ? 0 : errno;
}

mode_t ProcessUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("Umask:", 0) == 0)
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        return static_cast<mode_t>(022);
    }();
    return mask;
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
        if (int err = InjectedFault(TFsStep::Write, size))
            return err;
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
        if (int err = InjectedFault(TFsStep::Read))
            return err;
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

namespace {

constexpr std::string_view TemporaryPrefix = ".~kmtmp.";

// The decimal number at `pos` ended by "."; `pos` then stands after the ".".
std::optional<unsigned long> ReadNumberField(const std::string& name, size_t& pos) {
    size_t end = name.find('.', pos);
    if (end == std::string::npos || end == pos || end - pos > 10)
        return std::nullopt;
    unsigned long value = 0;
    for (size_t i = pos; i < end; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    pos = end + 1;
    return value;
}

} // namespace

std::string TemporarySiblingName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    return std::string(TemporaryPrefix) + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
           name.substr(0, 100);
}

bool IsOrphanedTemporaryName(const std::string& name) {
    if (!name.starts_with(TemporaryPrefix))
        return false;
    size_t pos = TemporaryPrefix.size();
    const auto pid = ReadNumberField(name, pos);
    if (!pid || *pid == 0 || *pid > 0x7FFFFFFF || !ReadNumberField(name, pos))
        return false;
    const auto owner = static_cast<pid_t>(*pid);
    // EPERM: the process exists under another user.
    return owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH;
}

int FillCopy(int in, int out, const struct stat& st) {
    int err = CopyContent(in, out);
    if (!err && ::fchmod(out, st.st_mode & 0777) != 0)
        err = errno;
    if (!err) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    return err;
}

int ReadAll(int fd, off_t limit, std::string& text) {
    char buffer[65536];
    for (;;) {
        if (int err = InjectedFault(TFsStep::Read))
            return err;
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

int ReadInBlocks(int fd, const std::function<void(const char* data, size_t size)>& take) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        take(buffer.data(), static_cast<size_t>(n));
    }
}

int WriteSyncedFile(int folder, const std::string& tempName, const std::function<int(int fd)>& fill) {
    TFileDescriptor out(
        ::openat(folder, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.IsOpen())
        return errno;
    int err = fill(out.Get());
    if (!err)
        err = SyncFile(out.Get());
    if (!err)
        err = out.Close();
    if (err) {
        out.Reset();
        ::unlinkat(folder, tempName.c_str(), 0);
    }
    return err;
}

int WriteFileAtomically(int folder, const std::string& name, const std::string& tempName, TReplace replace,
                        bool syncFolder, const std::function<int(int fd)>& fill) {
    if (int err = WriteSyncedFile(folder, tempName, fill))
        return err;
    const int err = replace == TReplace::Existing ? RenameAt(folder, tempName, folder, name)
                                                  : RenameNoReplaceAt(folder, tempName, folder, name);
    if (err) {
        ::unlinkat(folder, tempName.c_str(), 0);
        return err;
    }
    return syncFolder ? SyncFile(folder) : 0;
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

    TFileDescriptor folder = OpenDirectory(ParentDirectory(target));
    if (!folder.IsOpen())
        return errno;
    const std::string name = BaseName(target);
    int err = WriteFileAtomically(folder.Get(), name, TemporarySiblingName(name),
                                  replace ? TReplace::Existing : TReplace::Never, false,
                                  [&](int out) { return FillCopy(in.Get(), out, st); });
    if (err)
        return err;
    // The copy is in place; a failed folder sync cannot undo it.
    ::fsync(folder.Get());
    return 0;
}

} // namespace kalmora::fs
