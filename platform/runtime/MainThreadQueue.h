#pragma once

// The main-thread call queue: workers hand calls to the main thread and block until they ran. The core has no
// event loop of its own; a UI loop installs a wake hook and calls CheckSynchronize when woken.

#include <chrono>
#include <cstdint>
#include <functional>

namespace kalmora {

// The main thread is the thread that ran static initialisation.
bool IsMainThread();

// From a worker: queues the call, wakes the main thread and blocks until the call has run there. An exception
// from the call is rethrown here. On the main thread the call runs at once.
void Synchronize(std::function<void()> call);

// Main thread only: waits up to `timeout` for a queued call or a signal, then runs every queued call.
// Returns true when at least one call ran.
bool CheckSynchronize(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));

// Called (from any thread) whenever a call is queued or the main thread is signalled. The hook must not
// block.
void SetWakeMainThread(std::function<void()> hook);

// Wakes a main thread that waits in CheckSynchronize or WaitForMainSignal.
void SignalMainThread();

// The pair a main-thread wait loop uses without losing a signal: read the generation, check the condition,
// then wait for a signal or a queued call after that generation.
std::uint64_t MainSignalGeneration();
void WaitForMainSignal(std::uint64_t generation, std::chrono::milliseconds timeout);

} // namespace kalmora
