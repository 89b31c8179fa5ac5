#include "Hive.h"

#include "RegFileFormat.h"
#include "fs/FileSystem.h"
#include "fs/Folders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora::registry {
namespace {

using fs::TFileDescriptor;

// Hive files hold a few settings; anything near this size is not one of ours.
constexpr off_t MaxHiveSize = 64 * 1024 * 1024;

RegStatus FromErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return RegStatus::AccessDenied;
    default:
        return RegStatus::IoError;
    }
}

RegStatus Failure(int err, const std::string& what, const std::string& path, std::string* error) {
    if (error)
        *error = what + " \"" + path + "\": " + std::strerror(err);
    return FromErrno(err);
}

RegStatus Corrupt(const std::string& path, const std::string& fault, std::string* error) {
    if (error)
        *error = "hive file \"" + path + "\" cannot be parsed (" + fault + "); it is left as it is";
    return RegStatus::Corrupt;
}

mode_t DefaultMode(HiveId id) {
    return id == HiveId::CurrentUser ? 0600 : 0644;
}

} // namespace

std::string_view StatusText(RegStatus status) {
    switch (status) {
    case RegStatus::Ok:
        return "ok";
    case RegStatus::NotFound:
        return "not found";
    case RegStatus::AccessDenied:
        return "access refused";
    case RegStatus::Corrupt:
        return "hive file cannot be parsed";
    case RegStatus::IoError:
        return "input/output error";
    case RegStatus::InvalidArgument:
        return "invalid key or value name";
    }
    return "unknown";
}

namespace {

// The bytes of a hive file; an absent file is no error (`existed` says which).
RegStatus ReadHiveText(const std::string& path, std::string& text, bool& existed, std::string* error) {
    text.clear();
    existed = false;
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen()) {
        if (errno == ENOENT)
            return RegStatus::Ok;
        return Failure(errno, "cannot open hive file", path, error);
    }
    existed = true;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return Failure(errno, "cannot read hive file", path, error);
    if (!S_ISREG(st.st_mode))
        return Corrupt(path, "not a regular file", error);
    if (st.st_size > MaxHiveSize)
        return Corrupt(path, "file too big", error);
    text.reserve(static_cast<size_t>(st.st_size));
    if (int err = fs::ReadAll(fd.Get(), MaxHiveSize, text); err == EFBIG)
        return Corrupt(path, "file too big", error);
    else if (err != 0)
        return Failure(err, "cannot read hive file", path, error);
    return RegStatus::Ok;
}

RegStatus ParseHiveText(HiveId id, const std::string& path, const std::string& text, TRegNode& root,
                        std::string* error) {
    root = TRegNode();
    TRegFileContent content;
    std::string fault;
    if (!ParseRegFile(text, content, fault))
        return Corrupt(path, fault, error);
    // Rewriting a hive with a refused line would drop that line for good.
    if (!content.Refused.empty())
        return Corrupt(path, FirstRefusal(content), error);
    for (const auto& section : content.Sections)
        if (section.Hive != id || section.Remove)
            return Corrupt(path,
                           "section [" + std::string(section.Remove ? "-" : "") +
                               std::string(HiveRootName(section.Hive)) + "...] does not belong here",
                           error);
    ApplySections(content, id, root);
    return RegStatus::Ok;
}

// A new file `name` in `folder` holding `text`, written and synced, not yet renamed anywhere. A temporary
// file left by a writer that was killed is ours to replace; a link planted there is removed, never followed.
int WriteTemporary(int folder, const std::string& name, const std::string& text, mode_t mode) {
    if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT)
        return errno;
    return fs::WriteSyncedFile(folder, name, [&](int fd) {
        if (int err = fs::WriteAll(fd, text.data(), text.size()))
            return err;
        return ::fchmod(fd, mode) == 0 ? 0 : errno;
    });
}

// One hive inside a change of several: locked, read, changed in memory, then written beside and renamed.
struct TStagedHive {
    const THive* Hive = nullptr;
    TFileDescriptor Lock;
    TFileDescriptor Folder;
    bool Existed = false;
    std::string Original;
    TRegNode Root;
    bool Changed = false;
    mode_t Mode = 0;
    std::string Name, TempName;
};

RegStatus LockAndRead(const THive& hive, const std::vector<TStagedHive>& locked, TStagedHive& staged,
                      std::string* error) {
    staged.Hive = &hive;
    const std::string& path = hive.Path();
    const std::string folder = fs::ParentDirectory(path);
    if (int err = fs::CreateFolders(folder, hive.Id() == HiveId::CurrentUser ? 0700 : 0755))
        return Failure(err, "cannot create the folder of", path, error);
    const std::string lockPath = path + ".lock";
    staged.Lock.Reset(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, DefaultMode(hive.Id())));
    if (!staged.Lock.IsOpen() && errno == EACCES)
        staged.Lock.Reset(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!staged.Lock.IsOpen())
        return Failure(errno, "cannot open lock file", lockPath, error);
    // The same hive twice would wait for its own lock for ever.
    struct stat mine {};
    if (::fstat(staged.Lock.Get(), &mine) != 0)
        return Failure(errno, "cannot lock", lockPath, error);
    for (const auto& other : locked)
        if (struct stat st{};
            ::fstat(other.Lock.Get(), &st) == 0 && st.st_dev == mine.st_dev && st.st_ino == mine.st_ino) {
            if (error)
                *error = "hive file \"" + path + "\" is named twice";
            return RegStatus::InvalidArgument;
        }
    while (::flock(staged.Lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return Failure(errno, "cannot lock", lockPath, error);
    if (RegStatus status = ReadHiveText(path, staged.Original, staged.Existed, error);
        status != RegStatus::Ok)
        return status;
    if (staged.Existed)
        if (RegStatus status = ParseHiveText(hive.Id(), path, staged.Original, staged.Root, error);
            status != RegStatus::Ok)
            return status;
    staged.Mode = DefaultMode(hive.Id());
    if (struct stat st{}; ::stat(path.c_str(), &st) == 0)
        staged.Mode = st.st_mode & 0777;
    staged.Name = fs::BaseName(path);
    staged.TempName = fs::BaseName(path + ".tmp");
    return RegStatus::Ok;
}

// Puts a hive that was already replaced back as it was, byte for byte.
void Restore(TStagedHive& staged) {
    if (!staged.Existed) {
        ::unlinkat(staged.Folder.Get(), staged.Name.c_str(), 0);
        return;
    }
    if (WriteTemporary(staged.Folder.Get(), staged.TempName, staged.Original, staged.Mode) == 0)
        fs::RenameAt(staged.Folder.Get(), staged.TempName, staged.Folder.Get(), staged.Name);
}

} // namespace

RegStatus THive::Load(TRegNode& root, std::string* error) const {
    root = TRegNode();
    std::string text;
    bool existed = false;
    if (RegStatus status = ReadHiveText(FPath, text, existed, error); status != RegStatus::Ok || !existed)
        return status;
    return ParseHiveText(FId, FPath, text, root, error);
}

RegStatus THive::Modify(const std::function<RegStatus(TRegNode& root)>& change, std::string* error) const {
    return ModifyHives(
        {*this}, [&](size_t, TRegNode& root) { return change(root); }, error);
}

RegStatus ModifyHives(const std::vector<THive>& hives,
                      const std::function<RegStatus(size_t index, TRegNode& root)>& change,
                      std::string* error) {
    std::vector<TStagedHive> staged;
    staged.reserve(hives.size());
    for (size_t i = 0; i < hives.size(); ++i) {
        TStagedHive next;
        if (RegStatus status = LockAndRead(hives[i], staged, next, error); status != RegStatus::Ok)
            return status;
        const TRegNode before = next.Root;
        if (RegStatus status = change(i, next.Root); status != RegStatus::Ok)
            return status;
        next.Changed = !(next.Root == before);
        staged.push_back(std::move(next));
    }
    // Every new file is written before the first is renamed: a hive that cannot be written stops the change
    // while no hive has changed yet.
    auto dropTemporaries = [&] {
        for (auto& hive : staged)
            if (hive.Changed && hive.Folder.IsOpen())
                ::unlinkat(hive.Folder.Get(), hive.TempName.c_str(), 0);
    };
    for (auto& hive : staged) {
        if (!hive.Changed)
            continue;
        const std::string& path = hive.Hive->Path();
        hive.Folder = fs::OpenDirectory(fs::ParentDirectory(path));
        if (!hive.Folder.IsOpen()) {
            const int err = errno;
            dropTemporaries();
            return Failure(err, "cannot open the folder of", path, error);
        }
        const std::string text = FormatRegFile(hive.Root, hive.Hive->Id());
        if (int err = WriteTemporary(hive.Folder.Get(), hive.TempName, text, hive.Mode)) {
            dropTemporaries();
            return Failure(err, "cannot write hive file", path, error);
        }
    }
    for (size_t i = 0; i < staged.size(); ++i) {
        TStagedHive& hive = staged[i];
        if (!hive.Changed)
            continue;
        if (int err = fs::RenameAt(hive.Folder.Get(), hive.TempName, hive.Folder.Get(), hive.Name)) {
            for (size_t j = 0; j < i; ++j)
                if (staged[j].Changed)
                    Restore(staged[j]);
            for (size_t j = i; j < staged.size(); ++j)
                if (staged[j].Changed)
                    ::unlinkat(staged[j].Folder.Get(), staged[j].TempName.c_str(), 0);
            return Failure(err, "cannot replace hive file", hive.Hive->Path(), error);
        }
    }
    for (auto& hive : staged)
        if (hive.Changed && ::fsync(hive.Folder.Get()) != 0)
            return Failure(errno, "cannot sync the folder of", hive.Hive->Path(), error);
    return RegStatus::Ok;
}

} // namespace kalmora::registry
