#include "RuntimeFolder.h"

#include "UtilBox/FileHelpers.h"
#include "fs/Folders.h"
#include "fs/TreeOps.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora {
namespace {

// Followed by the process id, "." and six random characters.
constexpr std::string_view NamePrefix = "kalmora-updater-runtime.";

bool IsOwnPlainFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// The process that made the folder `name`, when the name is one of ours.
pid_t OwnerOf(std::string_view name) {
    if (!name.starts_with(NamePrefix))
        return 0;
    name.remove_prefix(NamePrefix.size());
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 10 || name.size() - dot != 7)
        return 0;
    long pid = 0;
    for (char c : name.substr(0, dot)) {
        if (c < '0' || c > '9')
            return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 && pid <= 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

bool IsGone(pid_t pid) {
    // EPERM: the process exists under another user.
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

void RemoveStaleRuntimeFolders(const std::string& tempDir) {
    fs::TFileDescriptor folder = fs::OpenDirectory(tempDir);
    std::vector<std::string> names;
    if (!folder.IsOpen() || fs::ListNames(folder.Get(), names) != 0)
        return;
    for (const auto& name : names) {
        const pid_t owner = OwnerOf(name);
        const std::string path = AddTrailingBackslash(tempDir) + name;
        if (owner != 0 && owner != ::getpid() && IsGone(owner) && IsOwnPlainFolder(path))
            fs::RemoveTree(path);
    }
}

TRuntimeFolder::TRuntimeFolder() {
    if (const char* set = std::getenv("XDG_RUNTIME_DIR"); set && *set)
        return;
    const std::string tempDir = GetTempDirectory();
    RemoveStaleRuntimeFolders(tempDir);
    std::string pattern =
        AddTrailingBackslash(tempDir) + std::string(NamePrefix) + std::to_string(::getpid()) + ".XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return; // the toolkit then complains into the debug log and falls back on its own
    FPath = pattern;
    ::setenv("XDG_RUNTIME_DIR", FPath.c_str(), 1);
}

void TRuntimeFolder::Remove() {
    if (FPath.empty())
        return;
    ::unsetenv("XDG_RUNTIME_DIR");
    fs::RemoveTree(FPath);
    FPath.clear();
}

} // namespace kalmora
