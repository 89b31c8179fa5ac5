#pragma once

// What the program says on stderr about a run: one line per failure, always; and, only when stderr is a
// terminal, a progress line while a download runs (overwritten in place) and one line per installed kind.

#include "kmConfigUpdaterThread/UpdateReport.h"

#include <cstdio>
#include <string>

namespace kalmora {

class TConsoleReport {
public:
    TConsoleReport(std::FILE* out, bool interactive) : FOut(out), FInteractive(interactive) {}
    // For stderr: interactive when it is a terminal.
    static TConsoleReport ForStderr();

    // While the run goes on: the progress line and the lines of newly installed kinds.
    void Update(const TUpdateReport& report);
    // After the run: clears the progress line, then the failure lines.
    void Finish(const TUpdateReport& report);

private:
    void ClearProgress();
    void Line(const std::string& text);

    std::FILE* FOut;
    bool FInteractive;
    bool FProgressShown = false;
    std::size_t FInstalledShown = 0;
};

// "1.5 MB, 300 kB/s" for a download of `bytes` in `elapsed`.
std::string ProgressText(std::int64_t bytes, std::chrono::steady_clock::duration elapsed);

} // namespace kalmora
