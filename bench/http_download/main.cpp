// Downloads one large body from the loopback server with HttpGetFile and with the curl command line tool,
// alternating, and prints the median throughput of each, their ratio and the peak resident memory of this
// process (which holds the client under test and the loopback server, but not curl).
//
// usage: http_download_bench [SIZE_MIB [ROUNDS]]     defaults: 256 MiB, 5 rounds

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

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(TClock::duration time) {
    return std::chrono::duration<double>(time).count();
}

double RunOurs(const std::string& url, const std::string& file, std::uint64_t size) {
    auto start = TClock::now();
    kalmora::HttpGetFile(url, file, [](void*, kalmora::TWorkMode, std::int64_t) {});
    double seconds = Seconds(TClock::now() - start);
    if (std::filesystem::file_size(file) != size)
        throw std::runtime_error("HttpGetFile wrote a file of the wrong size");
    std::filesystem::remove(file);
    return seconds;
}

double RunCurl(const std::string& url, const std::string& file, std::uint64_t size) {
    std::vector<std::string> args = {"curl", "-q",        "--silent", "--show-error", "--fail", "--noproxy",
                                     "*",    "--http1.1", "--output", file,           url};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    auto start = TClock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start curl");
    int status = 0;
    waitpid(pid, &status, 0);
    double seconds = Seconds(TClock::now() - start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("curl failed");
    if (std::filesystem::file_size(file) != size)
        throw std::runtime_error("curl wrote a file of the wrong size");
    std::filesystem::remove(file);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
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
        long baseline = PeakResidentKiB();

        std::vector<double> oursTimes, curlTimes;
        for (int round = 0; round < rounds; ++round) {
            // Each goes first every other round, so neither always meets a warm or a busy page cache.
            if (round % 2 == 0)
                oursTimes.push_back(RunOurs(url, folder / "ours.bin", size));
            curlTimes.push_back(RunCurl(url, folder / "curl.bin", size));
            if (round % 2 != 0)
                oursTimes.push_back(RunOurs(url, folder / "ours.bin", size));
        }
        // The median resists the noise of a shared machine better than the best or the mean.
        double ours = Median(oursTimes), curl = Median(curlTimes);
        double mib = static_cast<double>(mebibytes);
        std::printf("body:                 %llu MiB, median of %d rounds\n",
                    static_cast<unsigned long long>(mebibytes), rounds);
        std::printf("HttpGetFile:          %8.1f MiB/s\n", mib / ours);
        std::printf("curl command line:    %8.1f MiB/s\n", mib / curl);
        std::printf("ratio (ours / curl):  %8.3f\n", curl / ours);
        std::printf("peak resident memory: %8.1f MiB (%.1f MiB before the first download)\n",
                    static_cast<double>(PeakResidentKiB()) / 1024, static_cast<double>(baseline) / 1024);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "http_download_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
