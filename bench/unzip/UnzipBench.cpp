// Extraction benchmark: kalmora-unzip against unzip, bsdtar and 7zz on (a) one 200 MiB text file deflated,
// (b) 20 000 small files deflated and (c) the same stored. Prints the best wall time of each tool per
// archive, the ratio of ours to the fastest other tool and our peak resident memory.
// Usage: unzip-bench [RUNS] (default 3). The archives are made in a temporary folder below $TMPDIR and
// removed; TMPDIR=/dev/shm measures the extractors rather than the disk.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TRunResult {
    double seconds;
    long peakKiB;
    int status;
};

// Runs argv with stdout and stderr discarded; wall time and the child's peak resident set.
TRunResult RunTimed(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        FILE* null = std::fopen("/dev/null", "w");
        if (null) {
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
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

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string ours = KALMORA_UNZIP;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/unzip-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return 1;
    const std::string work = pattern;

    std::printf("making archives in %s ...\n", work.c_str());
    MakeBigText(work + "/big.txt", 200u << 20);
    Shell("cd '" + work + "' && zip -q big.zip big.txt && rm big.txt");
    MakeSmallFiles(work + "/small", 20000);
    Shell("cd '" + work +
          "/small' && zip -qr ../small-deflated.zip . && zip -qr0 ../small-stored.zip . && cd .. && rm -rf "
          "small");

    struct TTool {
        std::string name;
        std::vector<std::string> (*command)(const std::string& ours, const std::string& archive,
                                            const std::string& out);
    };
    const std::vector<TTool> tools = {
        {"kalmora-unzip",
         [](const std::string& o, const std::string& a, const std::string& d) {
             return std::vector<std::string>{o, a, d};
         }},
        {"unzip",
         [](const std::string&, const std::string& a, const std::string& d) {
             return std::vector<std::string>{"unzip", "-q", "-o", a, "-d", d};
         }},
        {"bsdtar",
         [](const std::string&, const std::string& a, const std::string& d) {
             return std::vector<std::string>{"bsdtar", "-xf", a, "-C", d};
         }},
        {"7zz",
         [](const std::string&, const std::string& a, const std::string& d) {
             return std::vector<std::string>{"7zz", "x", "-y", "-o" + d, a};
         }},
    };

    long ourPeak = 0;
    bool allFast = true;
    std::printf("\n%-22s %14s %10s %10s %10s %8s\n", "archive", "kalmora-unzip", "unzip", "bsdtar", "7zz",
                "ratio");
    for (const std::string name : {"big.zip", "small-deflated.zip", "small-stored.zip"}) {
        std::vector<double> best(tools.size(), 1e9);
        for (int run = 0; run < runs; ++run) {
            for (size_t t = 0; t < tools.size(); ++t) {
                if (t > 0 && !Have(tools[t].name))
                    continue;
                std::string out = work + "/out";
                fs::remove_all(out);
                fs::create_directories(out);
                // The previous run's dirty pages would otherwise be written back during this one.
                ::sync();
                auto result = RunTimed(tools[t].command(ours, work + "/" + name, out));
                if (result.status != 0)
                    std::fprintf(stderr, "%s exited with %d on %s\n", tools[t].name.c_str(), result.status,
                                 name.c_str());
                best[t] = std::min(best[t], result.seconds);
                if (t == 0)
                    ourPeak = std::max(ourPeak, result.peakKiB);
            }
        }
        double fastestOther = *std::min_element(best.begin() + 1, best.end());
        double ratio = best[0] / fastestOther;
        allFast = allFast && ratio <= 1.0;
        std::printf("%-22s %13.3fs %9.3fs %9.3fs %9.3fs %8.2f\n", name.c_str(), best[0], best[1], best[2],
                    best[3], ratio);
    }
    std::printf("\nkalmora-unzip peak resident memory: %.1f MiB (target < 32 MiB)\n", ourPeak / 1024.0);
    std::printf("ratio = ours / fastest other, best of %d runs; %s\n", runs,
                allFast ? "no slower than the fastest on every archive"
                        : "slower than the fastest somewhere");
    fs::remove_all(work);
    return 0;
}
