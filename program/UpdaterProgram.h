#pragma once

#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "kmConfigUpdaterThread/UpdateReport.h"
#include "lmThreadManager/lmThreadManager.h"

#include <functional>
#include <memory>
#include <string>

namespace kalmora {

inline constexpr std::string_view ApplicationTitle = "Online-Updater";

// The process-wide reference to the one thread manager; cleared by the close handling when it frees it.
extern TThreadManager* ThreadManager;

// Start-up steps after the settings root: the thread manager and the running update thread, which writes
// what it did into `report` and is in signed mode when `trust` holds keys.
std::unique_ptr<TThreadManager> StartUpdate(const std::string& installationId,
                                            std::shared_ptr<TUpdateReport> report, TManifestTrust trust = {});

// True while the update thread has not finished.
bool UpdateRunning(const TThreadManager& manager);

// Without a window: runs main-thread calls until the update thread is gone or a close signal came, calling
// onPoll about every 100 ms.
void WaitForUpdateWithoutWindow(TThreadManager& manager, const std::function<void()>& onPoll = {});

// The window's close handling: ask every thread to stop, give them up to 1000 ms to end (running main-thread
// calls meanwhile), free the manager (which waits for the threads). Errors on this path are reported on
// stderr and swallowed.
void CloseUpdate(std::unique_ptr<TThreadManager>& manager);

} // namespace kalmora
