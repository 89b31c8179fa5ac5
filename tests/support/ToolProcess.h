#pragma once

// Runs one of the command-line tools as a process, the way scripts use it, and collects what it wrote.

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kalmora::test {

struct TToolRun {
    int Exit = -1; // -1 when the tool died by a signal or could not be started
    std::string Out, Err;
};

inline std::string DrainFd(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Runs the program `tool` with `args`, `input` on its stdin. Output is small, so reading one pipe after the
// other is safe.
inline TToolRun RunProgram(const std::string& tool, const std::vector<std::string>& args,
                           const std::string& input = {}) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        std::vector<char*> argv{const_cast<char*>(tool.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(tool.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    TToolRun run;
    run.Out = DrainFd(out[0]);
    run.Err = DrainFd(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace kalmora::test
