#include "UpdateReport.h"

#include "lmWeb/lmWeb.h"

namespace kalmora {

void TUpdateReport::AddFailure(TUpdateFailure failure) {
    std::lock_guard lock(FLock);
    FFailures.push_back(std::move(failure));
}

void TUpdateReport::AddInstalled(TInstalledKind installed) {
    std::lock_guard lock(FLock);
    FInstalled.push_back(std::move(installed));
}

void TUpdateReport::DownloadStarted(const std::string& kind) {
    std::lock_guard lock(FLock);
    FDownload = TDownloadProgress{false, kind, 0, {}};
    FDownloading = true;
    FDownloadStart = std::chrono::steady_clock::now();
}

void TUpdateReport::DownloadProgressed(std::int64_t bytes) {
    std::lock_guard lock(FLock);
    FDownload.Active = FDownloading;
    FDownload.Bytes = bytes;
}

void TUpdateReport::DownloadEnded() {
    std::lock_guard lock(FLock);
    FDownloading = false;
    FDownload.Active = false;
}

std::vector<TUpdateFailure> TUpdateReport::Failures() const {
    std::lock_guard lock(FLock);
    return FFailures;
}

std::vector<TInstalledKind> TUpdateReport::Installed() const {
    std::lock_guard lock(FLock);
    return FInstalled;
}

TDownloadProgress TUpdateReport::Download() const {
    std::lock_guard lock(FLock);
    TDownloadProgress progress = FDownload;
    if (progress.Active)
        progress.Elapsed = std::chrono::steady_clock::now() - FDownloadStart;
    return progress;
}

std::string FailureText(const TUpdateFailure& failure) {
    std::string text;
    for (const std::string* part : {&failure.Kind, &failure.Where, &failure.Reason}) {
        if (part->empty())
            continue;
        if (!text.empty())
            text += ": ";
        text += *part;
    }
    return text;
}

std::string FailureReason(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EHttpError& e) {
        if (e.StatusCode == 0)
            return e.Message();
        // "HTTP/1.1 404 Not Found" -> "HTTP 404 Not Found"
        std::string text = "HTTP " + std::to_string(e.StatusCode);
        if (auto code = e.StatusLine.find(' '); code != std::string::npos) {
            if (auto phrase = e.StatusLine.find(' ', code + 1); phrase != std::string::npos)
                text += e.StatusLine.substr(phrase);
        }
        return text;
    } catch (...) {
        auto described = DescribeException(std::current_exception());
        return described.className + ": " + described.message;
    }
}

} // namespace kalmora
