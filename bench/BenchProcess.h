#pragma once

// Runs one child process of a benchmark and measures it as a whole.

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kalmora::bench {

struct TChildRun {
    double wall;  // seconds from fork to exit
    double cpu;   // user and system seconds of the child
    long peakKiB; // the child's peak resident set
    int status;   // exit status; -1 when it did not exit normally
};

// Runs argv with `env` added to the environment. Its stdout goes to stdoutFd, or with stderr to /dev/null
// when stdoutFd is -1 (stderr stays visible otherwise, so a failing case can say why).
inline TChildRun RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                          int stdoutFd = -1) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (stdoutFd >= 0) {
            dup2(stdoutFd, 1);
        } else if (FILE* null = std::fopen("/dev/null", "w")) {
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
        }
        for (const auto& e : env)
            putenv(const_cast<char*>(e.c_str()));
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {wall, cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

} // namespace kalmora::bench
