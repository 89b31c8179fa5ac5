#pragma once

// Runs build/bin/kalmora-updater as a process against a demo installation in a temporary folder.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kalmora::test {

class TUpdaterProcess {
public:
    // Starts the program with the current environment in workingDir, with `args`; its stderr goes to
    // stderrFile when one is given.
    TUpdaterProcess(const std::string& program, const std::string& workingDir,
                    const std::vector<std::string>& args = {}, const std::string& stderrFile = {});
    ~TUpdaterProcess(); // kills a process still running

    void Signal(int signal) const;
    // The exit status (as waitpid gives it) once the process ended; nothing after the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    int FPidFd = -1;
    bool FReaped = false;
};

// path (relative, "/"-separated) -> content of every regular file below dir; empty when dir is missing.
std::map<std::string, std::string> ReadTree(const std::string& dir);
void WriteTree(const std::string& dir, const std::map<std::string, std::string>& files);

// Makes a ZIP archive of the files (paths relative to the archive root) with the Info-ZIP zip tool;
// with a password its entries are encrypted. Raises std::runtime_error when the tool fails.
void MakeZip(const std::string& zipFile, const std::map<std::string, std::string>& files,
             const std::string& password = {});

} // namespace kalmora::test
