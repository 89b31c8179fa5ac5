#pragma once

// What one update run did, for whoever started it: the failures (kind, URL or file, reason), the kinds it
// installed, and the download in progress. The update thread writes it; the main thread reads it while the
// run goes on and after it ended. Every member takes the report's lock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kalmora {

struct TUpdateFailure {
    std::string Kind;   // "dev", "partner", "patch", or "manifest" for the manifest every kind needs
    std::string Where;  // the URL or file that failed
    std::string Reason; // what went wrong, for a person
};

struct TInstalledKind {
    std::string Kind;
    std::string Recorded; // the value recorded for it ("init" or the manifest's date)
};

// A download is active from its first callback until it ended.
struct TDownloadProgress {
    bool Active = false;
    std::string Kind;
    std::int64_t Bytes = 0;
    std::chrono::steady_clock::duration Elapsed{};
};

// Receives one failure of a step: the URL or file and the reason.
using TFailureNote = std::function<void(const std::string& where, const std::string& reason)>;

class TUpdateReport {
public:
    void AddFailure(TUpdateFailure failure);
    void AddInstalled(TInstalledKind installed);
    void DownloadStarted(const std::string& kind);
    void DownloadProgressed(std::int64_t bytes);
    void DownloadEnded();

    std::vector<TUpdateFailure> Failures() const;
    std::vector<TInstalledKind> Installed() const;
    TDownloadProgress Download() const;

private:
    mutable std::mutex FLock;
    std::vector<TUpdateFailure> FFailures;
    std::vector<TInstalledKind> FInstalled;
    TDownloadProgress FDownload;
    bool FDownloading = false;
    std::chrono::steady_clock::time_point FDownloadStart;
};

// "KIND: WHERE: REASON" (without the parts that are empty).
std::string FailureText(const TUpdateFailure& failure);

// A person's reason for what an exception says: "HTTP 404 Not Found" for an error status, the message for
// other errors of ours, "CLASS: message" for everything else.
std::string FailureReason(const std::exception_ptr& error);

} // namespace kalmora
