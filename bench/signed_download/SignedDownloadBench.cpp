// The price of signed mode on a package download: fetching the manifest and a 256 MiB package from a real
// nginx on loopback, once as an unsigned installation does (no signature, no sha256 or size in the
// manifest) and once as a signed one does (the manifest verified against its minisign signature, the
// package's SHA-256 and size checked while it streams). Both run as fresh child processes of this one,
// alternating, and the medians are compared: signed must reach at least 0.8 of the unsigned speed.
//
// usage: signed_download_bench [SIZE_MIB [ROUNDS]]          defaults: 256 MiB, 5 rounds
//        signed_download_bench --fetch signed|unsigned KEY WORKDIR   (the child; base URL from the
//        environment)

#include "BenchProcess.h"
#include "kmConfigUpdaterThread/PackageInstall.h"
#include "kmConfigUpdaterThread/SignedManifest.h"
#include "lmSignature/Sha256.h"
#include "support/NginxServer.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace kalmora;

namespace {

constexpr double RequiredRatio = 0.8;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Fetch(const std::string& mode, const std::string& key, const std::string& workDir) {
    try {
        const TFailureNote note = [](const std::string& where, const std::string& reason) {
            std::fprintf(stderr, "signed_download_bench: %s: %s\n", where.c_str(), reason.c_str());
        };
        // The update thread's callback does this much: one check per call.
        const TWorkEvent onWork = [](void*, TWorkMode, std::int64_t) {};
        TManifest manifest;
        if (mode == "signed") {
            TManifestTrust trust;
            trust.Keys = ParseSigningKeyList(key);
            std::uint64_t timestamp = 0;
            manifest = LoadSignedManifest(ManifestUrl(), workDir, onWork, trust, timestamp, note);
        } else {
            manifest = LoadManifest(ManifestUrl(), workDir, onWork);
        }
        std::string recorded;
        const bool fetched = FetchPackage(
            manifest, "dev", recorded, workDir + "/package/dev.zip", workDir, onWork, [] { return false; },
            note);
        return fetched ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "signed_download_bench: %s\n", e.what());
        return 1;
    }
}

void Run(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    if (bench::RunChild(argv).status != 0)
        throw std::runtime_error(program + " failed");
}

std::string Line(const std::string& file, int number) {
    std::ifstream in(file);
    std::string line;
    for (int i = 0; i < number; ++i)
        std::getline(in, line);
    return line;
}

// Random bytes, so that nothing along the way can make the package smaller than it is.
void WritePackage(const std::string& path, std::uint64_t size) {
    std::mt19937_64 random(20);
    std::vector<std::uint64_t> block(1 << 17);
    std::ofstream out(path, std::ios::binary);
    for (std::uint64_t written = 0; written < size; written += block.size() * 8) {
        for (auto& word : block)
            word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<std::uint64_t>(block.size() * 8, size - written)));
    }
}

void WriteManifest(const std::string& file, const std::string& digestElements) {
    std::ofstream(file) << "<?xml version=\"1.0\"?>\n<kmconfig><dev><date>2026-12-01</date>"
                        << "<url>#KMCONFIGDIR#dev.zip</url>" << digestElements << "</dev></kmconfig>\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--fetch")
        return Fetch(argv[2], argv[3], argv[4]);
    const std::uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (mebibytes == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: signed_download_bench [SIZE_MIB [ROUNDS]]\n");
        return 2;
    }
    const std::uint64_t size = mebibytes * 1024 * 1024;
    try {
        namespace fs = std::filesystem;
        test::TTestFolder folder;
        const std::string self = fs::read_symlink("/proc/self/exe");
        const std::string site = folder / "site", package = folder / "dev.zip";
        WritePackage(package, size);
        const std::string digest =
            "<sha256>" + Sha256OfFile(package) + "</sha256><size>" + std::to_string(size) + "</size>";
        for (const char* mode : {"signed", "unsigned"}) {
            const std::string tree = site + "/" + mode + "/kmdata/kmconfig/";
            fs::create_directories(tree);
            fs::create_hard_link(package, tree + "dev.zip");
            WriteManifest(tree + "configinfo.xml", std::string(mode) == "signed" ? digest : "");
        }
        Run("/usr/bin/minisign", {"-G", "-W", "-p", folder / "key.pub", "-s", folder / "key.key"});
        Run("/usr/bin/minisign",
            {"-S", "-s", folder / "key.key", "-m", site + "/signed/kmdata/kmconfig/configinfo.xml"});
        const std::string key = Line(folder / "key.pub", 2);
        test::TNginxServer nginx(site);

        auto fetch = [&](const std::string& mode) {
            const std::string work = folder / ("work-" + mode);
            fs::create_directories(work);
            const auto run =
                bench::RunChild({self, "--fetch", mode, key, work},
                                {"KALMORA_CONFIG_BASE_URL=" + nginx.Url(mode + "/kmdata/kmconfig/")}, 2);
            if (run.status != 0 || fs::file_size(work + "/package/dev.zip") != size)
                throw std::runtime_error(mode + " download failed");
            fs::remove_all(work);
            return run;
        };
        std::vector<double> signedTimes, unsignedTimes, signedCpu, unsignedCpu;
        for (int round = 0; round < rounds; ++round) {
            // Each goes first every other round, so neither always meets a warm or a busy page cache.
            bench::TChildRun s{}, u{};
            if (round % 2 == 0) {
                s = fetch("signed");
                u = fetch("unsigned");
            } else {
                u = fetch("unsigned");
                s = fetch("signed");
            }
            signedTimes.push_back(s.wall);
            unsignedTimes.push_back(u.wall);
            signedCpu.push_back(s.cpu);
            unsignedCpu.push_back(u.cpu);
            std::printf("round %d:                 signed %.2f s, unsigned %.2f s\n", round + 1, s.wall,
                        u.wall);
        }
        const double signedMedian = Median(signedTimes), unsignedMedian = Median(unsignedTimes);
        const double mib = static_cast<double>(mebibytes), ratio = unsignedMedian / signedMedian;
        std::printf("package:                 %llu MiB from nginx on loopback, median of %d rounds\n",
                    static_cast<unsigned long long>(mebibytes), rounds);
        std::printf("unsigned:                %8.1f MiB/s, %.2f s CPU\n", mib / unsignedMedian,
                    Median(unsignedCpu));
        std::printf("signed (verify + hash):  %8.1f MiB/s, %.2f s CPU\n", mib / signedMedian,
                    Median(signedCpu));
        std::printf("ratio (signed/unsigned): %8.3f (at least %.1f required)\n", ratio, RequiredRatio);
        return ratio >= RequiredRatio ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "signed_download_bench: %s\n", e.what());
        return 1;
    }
}
