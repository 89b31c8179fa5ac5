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

RegStatus THive::Load(TRegNode& root, std::string* error) const {
    root = TRegNode();
    TFileDescriptor fd(::open(FPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen()) {
        if (errno == ENOENT)
            return RegStatus::Ok;
        return Failure(errno, "cannot open hive file", FPath, error);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return Failure(errno, "cannot read hive file", FPath, error);
    if (!S_ISREG(st.st_mode))
        return Corrupt(FPath, "not a regular file", error);
    if (st.st_size > MaxHiveSize)
        return Corrupt(FPath, "file too big", error);
    std::string text;
    text.reserve(static_cast<size_t>(st.st_size));
    if (int err = fs::ReadAll(fd.Get(), MaxHiveSize, text); err == EFBIG)
        return Corrupt(FPath, "file too big", error);
    else if (err != 0)
        return Failure(err, "cannot read hive file", FPath, error);
    TRegFileContent content;
    std::string fault;
    if (!ParseRegFile(text, content, fault))
        return Corrupt(FPath, fault, error);
    for (const auto& section : content.Sections)
        if (section.Hive != FId || section.Remove)
            return Corrupt(FPath,
                           "section [" + std::string(section.Remove ? "-" : "") +
                               std::string(HiveRootName(section.Hive)) + "...] does not belong here",
                           error);
    ApplySections(content, FId, root);
    return RegStatus::Ok;
}

RegStatus THive::Modify(const std::function<RegStatus(TRegNode& root)>& change, std::string* error) const {
    const std::string folder = fs::ParentDirectory(FPath);
    if (int err = fs::CreateFolders(folder, FId == HiveId::CurrentUser ? 0700 : 0755))
        return Failure(err, "cannot create the folder of", FPath, error);

    const std::string lockPath = FPath + ".lock";
    TFileDescriptor lock(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, DefaultMode(FId)));
    if (!lock.IsOpen() && errno == EACCES)
        lock.Reset(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!lock.IsOpen())
        return Failure(errno, "cannot open lock file", lockPath, error);
    while (::flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return Failure(errno, "cannot lock", lockPath, error);

    TRegNode root;
    if (RegStatus status = Load(root, error); status != RegStatus::Ok)
        return status;
    const TRegNode before = root;
    if (RegStatus status = change(root); status != RegStatus::Ok)
        return status;
    if (root == before)
        return RegStatus::Ok;

    mode_t mode = DefaultMode(FId);
    if (struct stat st{}; ::stat(FPath.c_str(), &st) == 0)
        mode = st.st_mode & 0777;
    const std::string text = FormatRegFile(root, FId);
    const std::string tempPath = FPath + ".tmp";
    // A temporary file left by a writer that was killed is ours to replace; a link planted there is removed,
    // never followed.
    if (::unlink(tempPath.c_str()) != 0 && errno != ENOENT)
        return Failure(errno, "cannot replace", tempPath, error);
    TFileDescriptor folderFd = fs::OpenDirectory(folder);
    if (!folderFd.IsOpen())
        return Failure(errno, "cannot open the folder of", FPath, error);
    int err = fs::WriteFileAtomically(folderFd.Get(), fs::BaseName(FPath), fs::BaseName(tempPath),
                                      fs::TReplace::Existing, false, [&](int fd) {
                                          if (int writeErr = fs::WriteAll(fd, text.data(), text.size()))
                                              return writeErr;
                                          return ::fchmod(fd, mode) == 0 ? 0 : errno;
                                      });
    if (err)
        return Failure(err, "cannot write hive file", FPath, error);
    if (::fsync(folderFd.Get()) != 0)
        return Failure(errno, "cannot sync the folder of", FPath, error);
    return RegStatus::Ok;
}

} // namespace kalmora::registry
