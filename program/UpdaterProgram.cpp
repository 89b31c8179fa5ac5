#include "UpdaterProgram.h"

#include "CloseSignals.h"
#include "kmConfigUpdaterThread/ConfigUpdaterThread.h"
#include "runtime/MainThreadQueue.h"

#include <cstdio>
#include <thread>

namespace kalmora {
namespace {
constexpr std::chrono::milliseconds PollInterval{100};
constexpr std::chrono::milliseconds CloseDelay{1000};
} // namespace

TThreadManager* ThreadManager = nullptr;

std::unique_ptr<TThreadManager> StartUpdate(const std::string& installationId) {
    auto manager = std::make_unique<TThreadManager>();
    ThreadManager = manager.get();
    CreateManagedThread<TConfigUpdaterThread>(std::string(ConfigUpdaterThreadName), *manager, true,
                                              installationId, true);
    return manager;
}

void WaitForUpdateWithoutWindow(TThreadManager& manager) {
    while (!CloseRequested() && manager.IsThreadRunning(std::string(ConfigUpdaterThreadName)))
        CheckSynchronize(PollInterval);
}

void CloseUpdate(std::unique_ptr<TThreadManager>& manager) {
    try {
        if (manager) {
            manager->TerminateAll(false);
            std::this_thread::sleep_for(CloseDelay);
            ThreadManager = nullptr;
            manager.reset();
        }
    } catch (...) {
        auto error = DescribeException(std::current_exception());
        std::fprintf(stderr, "%s: %s\n", error.className.c_str(), error.message.c_str());
    }
}

} // namespace kalmora
