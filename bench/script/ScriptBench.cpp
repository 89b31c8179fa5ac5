// Script interpreter benchmark: three programs run by kalmora-script and the same three written in Python
// run by Debian's CPython (/usr/bin/python3, by its path: a python3 found on PATH may be another build, or a
// wrapper script whose start-up alone costs more than a case), whole process against whole process, side by
// side in one run. Prints the best wall and
// CPU (user + system) time of each, the CPU ratio ours / CPython and whether it meets the target of 1.0.
// Both must print the same result, or the case counts as failed.
// Usage: script-bench [RUNS] (default 5).

#include "BenchArguments.h"
#include "BenchProcess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct TRunResult {
    double wall;
    double cpu;
    int status;
    std::string output;
};

// Runs argv with stdout into a temporary file; wall time, the child's CPU time and what it printed.
TRunResult RunTimed(const std::vector<std::string>& argv) {
    const char* tmp = std::getenv("TMPDIR");
    std::string outName = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/script-bench-XXXXXX";
    int outFd = mkstemp(outName.data());
    if (outFd < 0)
        return {0, 0, -1, {}};
    const auto run = kalmora::bench::RunChild(argv, {}, outFd);
    close(outFd);
    std::ifstream in(outName);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(outName.c_str());
    return {run.wall, run.cpu, run.status, text.str()};
}

struct TCase {
    const char* label;
    const char* name; // programs/NAME.pas and programs/NAME.py
};

const TCase Cases[] = {
    {"recursive fib(30)", "fib"},
    {"10M-iteration loop, mod and if", "loop"},
    {"1 000 000-line text by concatenation", "concat"},
};

constexpr double TargetRatio = 1.0;
constexpr const char* Python = "/usr/bin/python3";

// The peer's own version line ("Python 3.11.2"), or why there is none.
std::string PythonVersion() {
    TRunResult run = RunTimed({Python, "--version"});
    std::string version = run.output.substr(0, run.output.find('\n'));
    return run.status == 0 && !version.empty() ? version
                                               : "not runnable, status " + std::to_string(run.status);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 0;
    if (!kalmora::bench::ReadRunCount(argc, argv, "usage: script-bench [RUNS]", 5, runs))
        return 0;
    const std::string ours = KALMORA_SCRIPT;
    const std::string programs = KALMORA_SCRIPT_PROGRAMS;
    std::printf("interpreter: %s\npeer: %s (%s)\nbest of %d runs; the target holds for the CPU ratio "
                "(ours / CPython)\n\n",
                ours.c_str(), Python, PythonVersion().c_str(), runs);
    std::printf("%-36s %10s %10s %10s %10s %7s %7s %7s\n", "case", "ours wall", "py wall", "ours cpu",
                "py cpu", "wall x", "cpu x", "target");
    bool allMet = true;
    for (const TCase& c : Cases) {
        TRunResult bestOurs{1e9, 1e9, 0, {}}, bestPython{1e9, 1e9, 0, {}};
        bool failed = false;
        std::string why;
        for (int run = 0; run < runs && !failed; ++run) {
            // Alternating the two keeps a passing load on the machine from favouring either.
            TRunResult a = RunTimed({ours, programs + "/" + c.name + ".pas"});
            TRunResult b = RunTimed({Python, programs + "/" + c.name + ".py"});
            if (a.status != 0 || b.status != 0) {
                failed = true;
                why = "exit status " + std::to_string(a.status) + " / " + std::to_string(b.status);
            } else if (a.output != b.output) {
                failed = true;
                why = "outputs differ: '" + a.output + "' / '" + b.output + "'";
            }
            bestOurs.wall = std::min(bestOurs.wall, a.wall);
            bestOurs.cpu = std::min(bestOurs.cpu, a.cpu);
            bestPython.wall = std::min(bestPython.wall, b.wall);
            bestPython.cpu = std::min(bestPython.cpu, b.cpu);
        }
        if (failed) {
            std::printf("%-36s FAILED: %s\n", c.label, why.c_str());
            allMet = false;
            continue;
        }
        double ratio = bestOurs.cpu / std::max(bestPython.cpu, 1e-6);
        double wallRatio = bestOurs.wall / std::max(bestPython.wall, 1e-6);
        bool met = ratio <= TargetRatio;
        allMet = allMet && met;
        std::printf("%-36s %9.3fs %9.3fs %9.3fs %9.3fs %6.2fx %6.2fx %6.1fx%s\n", c.label, bestOurs.wall,
                    bestPython.wall, bestOurs.cpu, bestPython.cpu, wallRatio, ratio, TargetRatio,
                    met ? "" : "  MISSED");
    }
    return allMet ? 0 : 1;
}
