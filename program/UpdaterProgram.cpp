#include "UpdaterProgram.h"

#include "CloseSignals.h"
#include "kmConfigUpdaterThread/ConfigUpdaterThread.h"
#include "runtime/MainThreadQueue.h"

#include <cstdio>

namespace kalmora {
namespace {
constexpr std::chrono::milliseconds PollInterval{100};
constexpr std::chrono::milliseconds CloseDelay{1000};
} // namespace

TThreadManager* ThreadManager = nullptr;

std::unique_ptr<TThreadManager> StartUpdate(const std::string& installationId,
                                            std::shared_ptr<TUpdateReport> report, TManifestTrust trust) {
    auto manager = std::make_unique<TThreadManager>();
    ThreadManager = manager.get();
    CreateManagedThread<TConfigUpdaterThread>(std::string(ConfigUpdaterThreadName), *manager, true,
                                              installationId, true, std::move(report), std::move(trust));
    return manager;
}

bool UpdateRunning(const TThreadManager& manager) {
    return manager.IsThreadRunning(std::string(ConfigUpdaterThreadName));
}

void WaitForUpdateWithoutWindow(TThreadManager& manager, const std::function<void()>& onPoll) {
    while (!CloseRequested() && UpdateRunning(manager)) {
        CheckSynchronize(PollInterval);
        if (onPoll)
            onPoll();
    }
}

void CloseUpdate(std::unique_ptr<TThreadManager>& manager) {
    try {
        if (manager) {
            manager->TerminateAll(false);
            // The pause lets a thread that notices the cancel finish on its own; it ends early when it did,
            // so a cancel is answered well within a second.
            const auto until = std::chrono::steady_clock::now() + CloseDelay;
            while (UpdateRunning(*manager) && std::chrono::steady_clock::now() < until)
                CheckSynchronize(PollInterval);
            ThreadManager = nullptr;
            manager.reset();
        }
    } catch (...) {
        // The window shows this error and closes all the same; without a window stderr is the place.
        auto error = DescribeException(std::current_exception());
        std::fprintf(stderr, "%s: %s\n", error.className.c_str(), error.message.c_str());
    }
}

} // namespace kalmora
