#include "FaultSeam.h"

#include <atomic>
#include <memory>

namespace kalmora::fs {
namespace {

// The hook lives as long as it is installed; without one, a step costs one atomic load.
std::unique_ptr<TFaultHook> installedHook;
std::atomic<bool> hookInstalled{false};

} // namespace

void SetFaultHookForTesting(TFaultHook hook) {
    hookInstalled.store(false);
    installedHook = hook ? std::make_unique<TFaultHook>(std::move(hook)) : nullptr;
    hookInstalled.store(installedHook != nullptr);
}

int InjectedFault(TFsStep step, std::size_t bytes) {
    if (!hookInstalled.load(std::memory_order_acquire))
        return 0;
    return (*installedHook)(step, bytes);
}

} // namespace kalmora::fs
