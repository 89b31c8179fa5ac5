#pragma once

// Small POSIX pieces the file helpers, the settings store and the package installation share. Functions that
// return int give 0 on success and the errno value otherwise; none of them throws.

#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace kalmora::fs {

// Owns one file descriptor and closes it when it goes.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) noexcept : FFd(fd) {}
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    ~TFileDescriptor() { Reset(); }

    int Get() const noexcept { return FFd; }
    bool IsOpen() const noexcept { return FFd >= 0; }
    int Release() noexcept;
    void Reset(int fd = -1) noexcept;
    // Closes and reports a failed close (a late write error) as errno; 0 on success.
    int Close() noexcept;

private:
    int FFd = -1;
};

// rename that fails with EEXIST when `to` exists, whatever it is (an empty directory included). Where the
// file system refuses renameat2's flags, it looks for `to` and then renames plainly.
int RenameNoReplace(const std::string& from, const std::string& to);
// RenameNoReplace for names inside open folders.
int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to);
// Swaps two existing entries atomically; EINVAL (or ENOSYS, EOPNOTSUPP) where the file system cannot.
int RenameExchange(const std::string& a, const std::string& b);
// True for the errors of a file system that knows no renameat2 flags.
bool RenameFlagsUnsupported(int error);
// Makes every renameat2 call fail with EINVAL, as NFS does, so tests reach the paths for such file systems.
void RefuseRenameFlagsForTesting(bool refuse);
// Makes a finished rename or creation inside `dir` durable.
int SyncDirectory(const std::string& dir);

// The single steps of an install, each asking the test seam (FaultSeam.h) first.
int SyncFile(int fd);
// rename inside open folders, replacing what stands at `to`.
int RenameAt(int fromDir, const std::string& from, int toDir, const std::string& to);
// A hard link `to` to the entry `from` itself (a link is not followed).
int LinkAt(int fromDir, const std::string& from, int toDir, const std::string& to);
int MakeFolderAt(int dir, const std::string& name, mode_t mode);
// unlinkat with `flags` (AT_REMOVEDIR for an empty folder).
int RemoveAt(int dir, const std::string& name, int flags);

// The process's umask, read without changing it (asking umask() would change it for a moment, which other
// threads would see).
mode_t ProcessUmask();

// The folder part of a path: everything before its last "/" ("/" for "/x", "." when there is none).
std::string ParentDirectory(const std::string& path);
// The part after the last "/".
std::string BaseName(const std::string& path);

// Writes the whole buffer, retrying short writes and EINTR.
int WriteAll(int fd, const void* data, size_t size);
// Copies everything from `in` (at its position) to `out`.
int CopyContent(int in, int out);
// Fills the new file `out` from `in` and gives it the permission bits and times of `st` (the source's).
int FillCopy(int in, int out, const struct stat& st);
// Reads everything from `fd` into `text`; EFBIG as soon as more than `limit` bytes came.
int ReadAll(int fd, off_t limit, std::string& text);
// Reads from `fd` to its end, handing each block to `take` (which may raise); 0 at the end, else the errno.
int ReadInBlocks(int fd, const std::function<void(const char* data, size_t size)>& take);

// Writes the new file `tempName` in the open folder `folder` through `fill` (created with mode 0600, its
// descriptor handed over), then syncs and closes it; it is renamed nowhere. A failure removes it.
int WriteSyncedFile(int folder, const std::string& tempName, const std::function<int(int fd)>& fill);

// Whether a finished temporary file may take the place of an entry that exists.
enum class TReplace { Existing, Never };

// Writes the file `name` in the open folder `folder` so that no crash can leave it torn: `fill` writes the
// new temporary file `tempName` (created with mode 0600, its descriptor handed over), which is then synced,
// closed and renamed over `name`. With TReplace::Never an existing `name` makes it fail with EEXIST and stay
// untouched. A failure removes the temporary file. With `syncFolder` the rename is made durable at once; a
// walk that writes many files into one folder syncs the folder once at its end instead.
int WriteFileAtomically(int folder, const std::string& name, const std::string& tempName, TReplace replace,
                        bool syncFolder, const std::function<int(int fd)>& fill);

// Copies the regular file `source` to `target` through a temporary file in the target's folder that is
// synced and then renamed into place, so `target` is never seen half written. Without `replace` an existing
// target makes it fail with EEXIST and stay untouched. Keeps permission bits and the modification time.
int CopyFileAtomically(const std::string& source, const std::string& target, bool replace);

// A name for a temporary entry in a folder that no other process of ours uses at the same time:
// ".~kmtmp." PID "." N "." name.
std::string TemporarySiblingName(const std::string& name);
// True for a name TemporarySiblingName gave to a process that no longer exists: what a killed writer left.
bool IsOrphanedTemporaryName(const std::string& name);

} // namespace kalmora::fs
