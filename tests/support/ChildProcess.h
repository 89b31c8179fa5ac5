#pragma once

// A forked child that can give up root before it runs a check, for the tests of permission handling.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kalmora::test {

// The unprivileged account children drop to when the tests run as root.
inline constexpr uid_t NobodyId = 65534;

// Exit codes of the child itself, beside those of `body`.
inline constexpr int ChildCannotDropRoot = 120;
inline constexpr int ChildBodyRaised = 122;

// Runs `body` in a forked child and returns its exit code (-1 when it died by a signal). With `dropRoot`
// a child running as root first becomes the unprivileged account, since root passes every permission check.
inline int RunInChild(const std::function<int()>& body, bool dropRoot = false) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (dropRoot && ::geteuid() == 0 && (::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0))
            ::_exit(ChildCannotDropRoot);
        int code = ChildBodyRaised;
        try {
            code = body();
        } catch (...) {
            // The exit code is the report: the parent's assertion on it names the failure.
            code = ChildBodyRaised;
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

} // namespace kalmora::test
