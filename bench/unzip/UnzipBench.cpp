// Extraction benchmark: kalmora-unzip, once on each inflater (ISA-L, and zlib through KALMORA_INFLATE=zlib),
// against unzip, bsdtar and 7zz, side by side in one run. Each case names its archive, how it is made, the
// peer it is measured against (the fastest of the others, or one named tool) and the ratio it must stay
// under. Prints the best wall time of every tool per case, our ratios, and our peak resident memory per case,
// which must stay within 16 MiB plus the memory the case's compression model asks for.
// Usage: unzip-bench [RUNS] (default 3). The archives are made in a temporary folder below $TMPDIR and
// removed; TMPDIR=/dev/shm measures the extractors rather than the disk.

#include "BenchArguments.h"
#include "BenchProcess.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double PeakMemoryTargetMiB = 16;

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "unzip-bench: failed: %s\n", command.c_str());
        std::exit(1);
    }
}

bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null").c_str()) == 0;
}

void MakeBigText(const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    std::string line;
    uint32_t seed = 1;
    size_t written = 0;
    // Varied lines, so the text compresses like real configuration data rather than to nothing.
    while (written < size) {
        seed = seed * 1103515245u + 12345u;
        line = "Geraet " + std::to_string(seed >> 8) + ";Partner " + std::to_string(written % 9973) +
               ";Status aktiv;Pfad /kalmora/config/dev/" + std::to_string(seed % 977) + "\n";
        out << line;
        written += line.size();
    }
}

void MakeSmallFiles(const std::string& root, int count) {
    uint32_t seed = 7;
    for (int i = 0; i < count; ++i) {
        std::string folder = root + "/d" + std::to_string(i / 200);
        if (i % 200 == 0)
            fs::create_directories(folder);
        std::ofstream out(folder + "/f" + std::to_string(i) + ".xml", std::ios::binary);
        seed = seed * 1103515245u + 12345u;
        size_t size = 200 + seed % 4000;
        std::string body = "<eintrag nr=\"" + std::to_string(i) + "\">";
        while (body.size() < size)
            body += "<wert>" + std::to_string(seed % 100000 + body.size()) + "</wert>";
        out << body << "</eintrag>\n";
    }
}

// The shell commands that make the archives of all cases inside the work folder.
void MakeArchives(const std::string& work) {
    std::printf("making archives in %s ...\n", work.c_str());
    MakeBigText(work + "/big.txt", 200u << 20);
    Shell("cd '" + work +
          "' && zip -q big.zip big.txt && 7zz a -tzip -mm=Deflate64 -mx=5 big64.zip big.txt "
          ">/dev/null && rm big.txt");
    MakeSmallFiles(work + "/small", 20000);
    Shell("cd '" + work +
          "/small' && zip -qr ../small-deflated.zip . && zip -qr0 ../small-stored.zip . && cd .. && rm -rf "
          "small");
    MakeBigText(work + "/ppmd.txt", 8u << 20);
    Shell("cd '" + work +
          "' && 7zz a -tzip -mm=PPMd -mo=6 -mmem=16m ppmd.zip ppmd.txt >/dev/null && rm ppmd.txt");
}

struct TCase {
    std::string label;
    std::string archive;
    std::string peer;    // "" the fastest other tool, else the tool measured against
    double targetRatio;  // ours / peer must stay at or under this
    double modelMiB = 0; // the decoder's model, allowed on top of the peak memory target
};

// One row per case; a new method's case is one more line here and, if needed, a line in MakeArchives.
const std::vector<TCase> Cases = {
    {"200 MiB text, Deflate", "big.zip", "", 0.6},
    {"20000 files, Deflate", "small-deflated.zip", "", 0.8},
    {"20000 files, stored", "small-stored.zip", "", 1.0},
    {"200 MiB text, Deflate64", "big64.zip", "7zz", 1.0},
    {"8 MiB text, PPMd o6 16M", "ppmd.zip", "7zz", 1.2, 16},
};

struct TTool {
    std::string name;
    std::vector<std::string> env;
    std::vector<std::string> (*command)(const std::string& ours, const std::string& archive,
                                        const std::string& out);
};

std::vector<std::string> Ours(const std::string& o, const std::string& a, const std::string& d) {
    return {o, a, d};
}

const std::vector<TTool> Tools = {
    {"ours/isal", {}, Ours},
    {"ours/zlib", {"KALMORA_INFLATE=zlib"}, Ours},
    {"unzip",
     {},
     [](const std::string&, const std::string& a, const std::string& d) {
         return std::vector<std::string>{"unzip", "-q", "-o", a, "-d", d};
     }},
    {"bsdtar",
     {},
     [](const std::string&, const std::string& a, const std::string& d) {
         return std::vector<std::string>{"bsdtar", "-xf", a, "-C", d};
     }},
    {"7zz",
     {},
     [](const std::string&, const std::string& a, const std::string& d) {
         return std::vector<std::string>{"7zz", "x", "-y", "-o" + d, a};
     }},
};
constexpr size_t OurTools = 2;

} // namespace

int main(int argc, char** argv) {
    int runs = 0;
    if (!kalmora::bench::ReadRunCount(argc, argv, "usage: unzip-bench [RUNS]", 3, runs))
        return 0;
    const std::string ours = KALMORA_UNZIP;
    const kalmora::test::TTestFolder folder;
    const std::string& work = folder.Path();
    MakeArchives(work);

    bool allMet = true;
    std::printf("\n%-26s", "case");
    for (const auto& t : Tools)
        std::printf(" %10s", t.name.c_str());
    std::printf(" %10s %10s %13s %14s\n", "ratio/isal", "ratio/zlib", "target", "peak MiB");
    for (const auto& c : Cases) {
        std::vector<double> best(Tools.size(), 1e9);
        std::vector<bool> ok(Tools.size(), false);
        long ourPeakKiB = 0;
        for (int run = 0; run < runs; ++run) {
            for (size_t t = 0; t < Tools.size(); ++t) {
                if (t >= OurTools && !Have(Tools[t].name))
                    continue;
                std::string out = work + "/out";
                fs::remove_all(out);
                fs::create_directories(out);
                // The previous run's dirty pages would otherwise be written back during this one.
                ::sync();
                auto result = kalmora::bench::RunChild(Tools[t].command(ours, work + "/" + c.archive, out),
                                                       Tools[t].env);
                if (result.status != 0)
                    continue; // a tool that cannot extract the case is left out of the comparison
                ok[t] = true;
                best[t] = std::min(best[t], result.wall);
                if (t < OurTools)
                    ourPeakKiB = std::max(ourPeakKiB, result.peakKiB);
            }
        }
        double peer = 1e9;
        for (size_t t = OurTools; t < Tools.size(); ++t)
            if (ok[t] && (c.peer.empty() || Tools[t].name == c.peer))
                peer = std::min(peer, best[t]);
        std::printf("%-26s", c.label.c_str());
        for (size_t t = 0; t < Tools.size(); ++t)
            ok[t] ? std::printf(" %9.3fs", best[t]) : std::printf(" %10s", "-");
        for (size_t t = 0; t < OurTools; ++t) {
            double ratio = ok[t] && peer < 1e9 ? best[t] / peer : 0;
            std::printf(" %10.2f", ratio);
            // The target holds for the default inflater; zlib's figure is there for comparison.
            if (t == 0)
                allMet = allMet && ok[t] && ratio <= c.targetRatio;
        }
        std::printf(" %6.2f%-7s", c.targetRatio, c.peer.empty() ? "" : (" of " + c.peer).c_str());
        double peakMiB = ourPeakKiB / 1024.0;
        double peakTarget = PeakMemoryTargetMiB + c.modelMiB;
        allMet = allMet && peakMiB <= peakTarget;
        std::printf(" %6.1f <= %3.0f\n", peakMiB, peakTarget);
    }
    std::printf("\npeak MiB: kalmora-unzip's peak resident memory, target %.0f MiB plus the case's model\n",
                PeakMemoryTargetMiB);
    std::printf(
        "ratio = ours / peer (the fastest other tool unless the target names one), best of %d runs; %s\n",
        runs, allMet ? "every target met" : "a target missed");
    return allMet ? 0 : 1;
}
