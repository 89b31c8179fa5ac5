// kalmora-testserver ROOTDIR [--port-file FILE] [--log FILE] [--rate BYTES_PER_SECOND]
// Serves ROOTDIR as static files on 127.0.0.1 until SIGTERM or SIGINT. Prints the base URL once listening.

#include "support/HttpTestServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/stat.h>

namespace {

int Usage() {
    std::cerr
        << "usage: kalmora-testserver ROOTDIR [--port-file FILE] [--log FILE] [--rate BYTES_PER_SECOND]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string root, portFile, logFile;
    unsigned long long rate = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--port-file" || arg == "--log" || arg == "--rate") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--port-file")
                portFile = value;
            else if (arg == "--log")
                logFile = value;
            else {
                char* end = nullptr;
                rate = std::strtoull(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0')
                    return Usage();
            }
        } else if (root.empty() && !arg.starts_with("--")) {
            root = arg;
        } else {
            return Usage();
        }
    }
    struct stat info {};
    if (root.empty())
        return Usage();
    if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::cerr << "kalmora-testserver: not a directory: " << root << "\n";
        return 1;
    }

    // The signals are taken by sigwait below, never by a handler on some other thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        kalmora::test::THttpTestServer server;
        server.ServeDirectory(root);
        server.SetRateLimit(rate);
        std::ofstream log;
        std::mutex logLock;
        if (!logFile.empty()) {
            log.open(logFile, std::ios::app);
            if (!log) {
                std::cerr << "kalmora-testserver: cannot open log " << logFile << "\n";
                return 1;
            }
            server.SetRequestHook([&](const kalmora::test::TRequestRecord& request) {
                std::lock_guard lock(logLock);
                log << request.method << ' ' << request.target << ' ' << request.status << std::endl;
            });
        }
        if (!portFile.empty()) {
            // Written under another name and renamed, so a reader never sees half a number.
            std::string temporary = portFile + ".tmp";
            std::ofstream(temporary) << server.Port() << "\n";
            if (std::rename(temporary.c_str(), portFile.c_str()) != 0) {
                std::cerr << "kalmora-testserver: cannot write " << portFile << "\n";
                return 1;
            }
        }
        std::cout << server.BaseUrl() << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        server.Stop();
    } catch (const std::exception& e) {
        std::cerr << "kalmora-testserver: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
