#pragma once

#include "lmThreadManager/lmThreadManager.h"

#include <memory>
#include <string>

namespace kalmora {

inline constexpr std::string_view ApplicationTitle = "Online-Updater";

// The process-wide reference to the one thread manager; cleared by the close handling when it frees it.
extern TThreadManager* ThreadManager;

// Start-up steps after the settings root: the thread manager and the running update thread.
std::unique_ptr<TThreadManager> StartUpdate(const std::string& installationId);

// Without a window: runs main-thread calls until the update thread is gone or a close signal came.
void WaitForUpdateWithoutWindow(TThreadManager& manager);

// The window's close handling: ask every thread to stop, wait 1000 ms, free the manager (which waits for the
// threads). Errors on this path are reported and swallowed.
void CloseUpdate(std::unique_ptr<TThreadManager>& manager);

} // namespace kalmora
