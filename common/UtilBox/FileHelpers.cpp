#include "FileHelpers.h"

#include "fs/FileSystem.h"
#include "fs/Folders.h"
#include "fs/TreeOps.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

std::string AddTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + '/';
}

std::string StripTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

std::string LastUrlSegment(const std::string& text) {
    auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string GetTempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace kalmora

namespace kalmora {
namespace {

constexpr std::string_view Unit = "UtilBox";
constexpr int MaxWorkDirTries = 100;
constexpr std::int64_t MaxFileToStrSize = 2147483647;

// The process-wide generator behind the work directory names: a fixed seed, so every run makes the same
// sequence of names.
std::atomic<std::uint64_t> RandomState{0x4B4D5744u};

int NextRandomDigit() {
    std::uint64_t current = RandomState.load(std::memory_order_relaxed);
    std::uint64_t next = 0;
    do {
        next = current * 6364136223846793005ull + 1442695040888963407ull;
    } while (!RandomState.compare_exchange_weak(current, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 33) % 9);
}

std::string ExpandFileName(const std::string& fileName) {
    std::error_code ec;
    auto full = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : full.lexically_normal().string();
}

[[noreturn]] void RaiseOpenError(const std::string& fileName, int err) {
    char message[4096];
    std::snprintf(message, sizeof message, "Datei %s kann nicht geöffnet werden. %s",
                  ExpandFileName(fileName).c_str(), std::strerror(err));
    throw EFOpenError(message, err);
}

} // namespace

std::string CreateTempWorkDir(const std::string& prefix, const std::string& baseDir) {
    const std::string stem =
        AddTrailingBackslash(baseDir.empty() ? GetTempDirectory() : baseDir) + prefix.substr(0, 3);
    std::string name;
    for (int attempt = 0; attempt < MaxWorkDirTries; ++attempt) {
        name = stem;
        for (int i = 0; i < 5; ++i)
            name += static_cast<char>('0' + NextRandomDigit());
        if (::mkdir(name.c_str(), 0700) == 0 || errno != EEXIST)
            break;
        struct stat st {};
        if (::lstat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
            break;
    }
    return name + "/";
}

bool DeleteDirectoryTree(const std::string& path) {
    Assert(!path.empty(), Unit, "DelTree: Path is empty");
    return fs::RemoveTree(StripTrailingBackslash(path));
}

bool IsExistingDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool MoveFileOrCopy(const std::string& source, const std::string& target, bool replace) {
    // Plain rename would replace an empty folder; without `replace` nothing that exists may be replaced.
    const int err = replace ? (::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno)
                            : fs::RenameNoReplace(source, target);
    if (err == 0)
        return true;
    if (!CopyFileTo(source, target, replace))
        return false;
    ::unlink(source.c_str());
    return true;
}

bool CopyFileTo(const std::string& source, const std::string& target, bool replace) {
    std::string destination = target;
    if (IsExistingDirectory(target))
        destination = AddTrailingBackslash(target) + fs::BaseName(source);
    return fs::CopyFileAtomically(source, destination, replace) == 0;
}

bool CreateDirectoryPath(const std::string& path) {
    if (path.empty())
        throw Exception("Unable to create directory");
    const std::string dir = StripTrailingBackslash(path);
    return fs::CreateFolders(dir, 0777, 0777) == 0;
}

std::string FileToStr(const std::string& fileName) {
    fs::TFileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen())
        RaiseOpenError(fileName, errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        RaiseOpenError(fileName, errno);
    if (S_ISDIR(st.st_mode))
        RaiseOpenError(fileName, EISDIR);
    if (!S_ISREG(st.st_mode))
        RaiseOpenError(fileName, EINVAL);
    // Linux has no share modes: a file another process holds an flock on counts as opened without sharing.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        RaiseOpenError(fileName, errno);
    if (st.st_size > MaxFileToStrSize)
        throw Exception("FileToStr: File too big.");
    std::string content;
    content.reserve(static_cast<size_t>(st.st_size));
    if (int err = fs::ReadAll(fd.Get(), MaxFileToStrSize, content); err == EFBIG)
        throw Exception("FileToStr: File too big.");
    else if (err != 0)
        throw EInOutError::FromErrno("FileToStr: cannot read", ExpandFileName(fileName), err);
    return content;
}

} // namespace kalmora
