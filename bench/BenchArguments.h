#pragma once

// The command line of the benchmarks that repeat their cases: [RUNS], or --help for the usage line.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kalmora::bench {

// False after printing `usage` for --help; otherwise `runs` is the number given (at least 1) or the default.
inline bool ReadRunCount(int argc, char** argv, const char* usage, int defaultRuns, int& runs) {
    if (argc > 1 && std::string(argv[1]) == "--help") {
        std::printf("%s\n", usage);
        return false;
    }
    runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : defaultRuns;
    return true;
}

} // namespace kalmora::bench
