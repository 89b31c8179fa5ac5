#include "ConsoleReport.h"

#include "CommandLine.h"

#include <unistd.h>

namespace kalmora {
namespace {

std::string Size(double bytes) {
    static constexpr const char* Units[] = {"B", "kB", "MB", "GB"};
    std::size_t unit = 0;
    while (bytes >= 1000 && unit + 1 < std::size(Units)) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, Units[unit]);
    return text;
}

} // namespace

std::string ProgressText(std::int64_t bytes, std::chrono::steady_clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::string text = Size(static_cast<double>(bytes));
    if (seconds > 0.1)
        text += ", " + Size(static_cast<double>(bytes) / seconds) + "/s";
    return text;
}

TConsoleReport TConsoleReport::ForStderr() {
    return TConsoleReport(stderr, ::isatty(STDERR_FILENO) == 1);
}

void TConsoleReport::Update(const TUpdateReport& report) {
    if (!FInteractive)
        return;
    const auto installed = report.Installed();
    for (; FInstalledShown < installed.size(); ++FInstalledShown) {
        const auto& kind = installed[FInstalledShown];
        Line(kind.Kind + ": installed (" + kind.Recorded + ")");
    }
    const auto download = report.Download();
    if (download.Active) {
        std::fprintf(FOut, "\r%s: %s: %s\033[K", std::string(ProgramName).c_str(), download.Kind.c_str(),
                     ProgressText(download.Bytes, download.Elapsed).c_str());
        std::fflush(FOut);
        FProgressShown = true;
    } else {
        ClearProgress();
    }
}

void TConsoleReport::Finish(const TUpdateReport& report) {
    Update(report);
    ClearProgress();
    for (const auto& failure : report.Failures())
        Line(FailureText(failure));
}

void TConsoleReport::ClearProgress() {
    if (!FProgressShown)
        return;
    std::fputs("\r\033[K", FOut);
    FProgressShown = false;
}

void TConsoleReport::Line(const std::string& text) {
    ClearProgress();
    std::fprintf(FOut, "%s: %s\n", std::string(ProgramName).c_str(), text.c_str());
    std::fflush(FOut);
}

} // namespace kalmora
