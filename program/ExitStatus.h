#pragma once

// The exit status of kalmora-updater, as administrators and scripts rely on it.

#include "kmConfigUpdaterThread/UpdateReport.h"

#include <vector>

namespace kalmora {

enum class TExitStatus : int {
    Success = 0,        // every kind it looked at is up to date or installed
    Failed = 1,         // the run ended and something failed
    Usage = 2,          // an argument it does not know
    NotConfigured = 3,  // settings, hives or the environment do not allow a run; nothing was done
    AlreadyRunning = 4, // another instance works for the same installation
};

// 128 + the signal that cancelled the run, else Failed when anything failed, else Success.
int RunExitStatus(const std::vector<TUpdateFailure>& failures, int closeSignal);

constexpr int ExitCode(TExitStatus status) {
    return static_cast<int>(status);
}

} // namespace kalmora
