// Downloads one large body from the loopback server with HttpGetFile and with the curl command line tool,
// alternating, and prints the median throughput of each, their ratio and the peak resident memory of the
// process that ran HttpGetFile. Both clients run as fresh child processes of this one, which serves the body,
// so that neither inherits the other's state (page-cache accounting, heap, scheduling).
//
// usage: http_download_bench [SIZE_MIB [ROUNDS]]     defaults: 256 MiB, 5 rounds
//        http_download_bench --fetch URL FILE        (the child that runs HttpGetFile once)

#include "lmWeb/lmWeb.h"
#include "support/HttpTestServer.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

struct TRun {
    double seconds = 0;
    long peakKiB = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs a program to its end; its wall time and peak resident memory.
TRun RunChild(std::vector<std::string> args, const std::string& file, std::uint64_t size) {
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    auto start = TClock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    TRun run{std::chrono::duration<double>(TClock::now() - start).count(), usage.ru_maxrss};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " failed");
    if (std::filesystem::file_size(file) != size)
        throw std::runtime_error(args[0] + " wrote a file of the wrong size");
    std::filesystem::remove(file);
    return run;
}

int Fetch(const std::string& url, const std::string& file) {
    try {
        // The update thread's callback does this much: one check per call.
        kalmora::HttpGetFile(url, file, [](void*, kalmora::TWorkMode, std::int64_t) {});
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "http_download_bench: %s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--fetch")
        return Fetch(argv[2], argv[3]);
    std::uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (mebibytes == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: http_download_bench [SIZE_MIB [ROUNDS]]\n");
        return 2;
    }
    std::uint64_t size = mebibytes * 1024 * 1024;
    try {
        kalmora::test::THttpTestServer server;
        kalmora::test::TScriptedResponse response;
        response.generatedLength = size;
        server.Script("/body.bin", response);
        kalmora::test::TTestFolder folder;
        std::string url = server.Url("body.bin");
        std::string self = std::filesystem::read_symlink("/proc/self/exe");
        std::string oursFile = folder / "ours.bin", curlFile = folder / "curl.bin";
        std::vector<std::string> ours = {self, "--fetch", url, oursFile};
        std::vector<std::string> curl = {"curl",     "-q",        "--silent", "--show-error",
                                         "--fail",   "--noproxy", "*",        "--http1.1",
                                         "--output", curlFile,    url};

        std::vector<double> oursTimes, curlTimes;
        long peakKiB = 0;
        for (int round = 0; round < rounds; ++round) {
            // Each goes first every other round, so neither always meets a warm or a busy page cache.
            TRun a, b;
            if (round % 2 == 0) {
                a = RunChild(ours, oursFile, size);
                b = RunChild(curl, curlFile, size);
            } else {
                b = RunChild(curl, curlFile, size);
                a = RunChild(ours, oursFile, size);
            }
            oursTimes.push_back(a.seconds);
            curlTimes.push_back(b.seconds);
            peakKiB = std::max(peakKiB, a.peakKiB);
            std::printf("round %d:              HttpGetFile %.2f s, curl %.2f s\n", round + 1, a.seconds,
                        b.seconds);
        }
        // The median resists the noise of a shared machine better than the best or the mean.
        double oursMedian = Median(oursTimes), curlMedian = Median(curlTimes);
        double mib = static_cast<double>(mebibytes);
        std::printf("body:                 %llu MiB, median of %d rounds\n",
                    static_cast<unsigned long long>(mebibytes), rounds);
        std::printf("HttpGetFile:          %8.1f MiB/s\n", mib / oursMedian);
        std::printf("curl command line:    %8.1f MiB/s\n", mib / curlMedian);
        std::printf("ratio (ours / curl):  %8.3f\n", curlMedian / oursMedian);
        std::printf("peak resident memory: %8.1f MiB (the HttpGetFile process)\n",
                    static_cast<double>(peakKiB) / 1024);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "http_download_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
