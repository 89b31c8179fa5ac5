#include "UpdaterProcess.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kalmora::test {

TUpdaterProcess::TUpdaterProcess(const std::string& program, const std::string& workingDir,
                                 const std::vector<std::string>& args, const std::string& stderrFile) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    FPid = ::fork();
    if (FPid < 0)
        throw std::runtime_error("fork failed");
    if (FPid == 0) {
        if (::chdir(workingDir.c_str()) != 0)
            ::_exit(126);
        if (!stderrFile.empty()) {
            int fd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0)
                ::_exit(125);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    FPidFd = static_cast<int>(::syscall(SYS_pidfd_open, FPid, 0));
}

TUpdaterProcess::~TUpdaterProcess() {
    if (!FReaped) {
        ::kill(FPid, SIGKILL);
        int status = 0;
        ::waitpid(FPid, &status, 0);
    }
    if (FPidFd >= 0)
        ::close(FPidFd);
}

void TUpdaterProcess::Signal(int signal) const {
    if (!FReaped)
        ::kill(FPid, signal);
}

std::optional<int> TUpdaterProcess::Wait(std::chrono::milliseconds timeout) {
    if (FReaped)
        return std::nullopt;
    pollfd p{FPidFd, POLLIN, 0};
    if (FPidFd >= 0 && ::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    int status = 0;
    if (::waitpid(FPid, &status, FPidFd >= 0 ? 0 : WNOHANG) != FPid)
        return std::nullopt;
    FReaped = true;
    return status;
}

std::map<std::string, std::string> ReadTree(const std::string& dir) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return files;
    for (auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        files[fs::relative(entry.path(), dir).string()] = content.str();
    }
    return files;
}

void WriteTree(const std::string& dir, const std::map<std::string, std::string>& files) {
    for (auto& [path, content] : files) {
        fs::path file = fs::path(dir) / path;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
}

void MakeZip(const std::string& zipFile, const std::map<std::string, std::string>& files,
             const std::string& password) {
    fs::path work = fs::path(zipFile).parent_path() / (fs::path(zipFile).filename().string() + ".src");
    fs::remove_all(work);
    WriteTree(work.string(), files);
    fs::remove(zipFile);
    std::string command = "cd '" + work.string() + "' && zip -q -r -X ";
    if (!password.empty())
        command += "-P '" + password + "' ";
    command += "'" + fs::absolute(zipFile).string() + "' .";
    int rc = std::system(command.c_str());
    fs::remove_all(work);
    if (rc != 0)
        throw std::runtime_error("zip failed: " + command);
}

} // namespace kalmora::test
