#pragma once

// Test helpers shared by the settings and file tests: a scratch folder removed at the end, small file
// writers, and a child process that can give up root before it runs a check.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalmora::testing {

// The unprivileged account children drop to when the tests run as root.
inline constexpr uid_t NobodyId = 65534;

inline void RemoveAll(const std::string& path) {
    // chmod first: tests make folders read-only on purpose.
    std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", path.c_str());
}

class TScratchFolder {
public:
    TScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kmtest.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        FPath = pattern;
        // Children that give up root must reach the files below.
        ::chmod(FPath.c_str(), 0755);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    ~TScratchFolder() { RemoveAll(FPath); }

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    ::chmod(path.c_str(), mode);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Runs `body` in a forked child and returns its exit code (-1 when it died by a signal). With `dropRoot`
// a child running as root first becomes the unprivileged account, since root passes every permission check.
inline int RunInChild(const std::function<int()>& body, bool dropRoot = false) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (dropRoot && ::geteuid() == 0 && (::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0))
            ::_exit(120);
        int code = 121;
        try {
            code = body();
        } catch (...) {
            code = 122;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Hands a folder (and everything below it) to the account children drop to.
inline void GiveToChild(const std::string& path) {
    if (::geteuid() != 0)
        return;
    std::string command =
        "chown -R " + std::to_string(NobodyId) + ":" + std::to_string(NobodyId) + " '" + path + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not chown %s\n", path.c_str());
}

} // namespace kalmora::testing
