#include "MainThreadQueue.h"

#include "Exceptions.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kalmora {
namespace {

struct PendingCall {
    std::function<void()> call;
    std::exception_ptr error;
    bool done = false;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable mainWake; // the main thread waits here
    std::condition_variable callDone; // senders wait here for their call
    std::deque<std::shared_ptr<PendingCall>> calls;
    std::uint64_t generation = 0;
    std::function<void()> wakeHook;
    const std::thread::id mainId = std::this_thread::get_id();
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

// Forces the queue (and with it the main thread's id) to be made during static initialisation.
[[maybe_unused]] const bool queueReady = (TheQueue(), true);

void Wake(Queue& q, std::unique_lock<std::mutex>& lock) {
    ++q.generation;
    auto hook = q.wakeHook;
    lock.unlock();
    q.mainWake.notify_all();
    if (hook)
        hook();
}

} // namespace

bool IsMainThread() {
    return TheQueue().mainId == std::this_thread::get_id();
}

void Synchronize(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    auto& q = TheQueue();
    auto pending = std::make_shared<PendingCall>();
    pending->call = std::move(call);
    std::unique_lock lock(q.mutex);
    q.calls.push_back(pending);
    Wake(q, lock);
    lock.lock();
    q.callDone.wait(lock, [&] { return pending->done; });
    if (pending->error)
        std::rethrow_exception(pending->error);
}

bool CheckSynchronize(std::chrono::milliseconds timeout) {
    Assert(IsMainThread(), "Classes", "CheckSynchronize called outside the main thread");
    auto& q = TheQueue();
    std::unique_lock lock(q.mutex);
    if (timeout.count() > 0 && q.calls.empty()) {
        auto start = q.generation;
        q.mainWake.wait_for(lock, timeout, [&] { return !q.calls.empty() || q.generation != start; });
    }
    bool ran = false;
    while (!q.calls.empty()) {
        auto pending = std::move(q.calls.front());
        q.calls.pop_front();
        lock.unlock();
        try {
            pending->call();
        } catch (...) {
            // Not lost: the sender blocked in Synchronize raises it on its own thread.
            pending->error = std::current_exception();
        }
        ran = true;
        lock.lock();
        pending->done = true;
        q.callDone.notify_all();
    }
    return ran;
}

void SetWakeMainThread(std::function<void()> hook) {
    auto& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.wakeHook = std::move(hook);
}

void SignalMainThread() {
    auto& q = TheQueue();
    std::unique_lock lock(q.mutex);
    Wake(q, lock);
}

std::uint64_t MainSignalGeneration() {
    auto& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.generation;
}

void WaitForMainSignal(std::uint64_t generation, std::chrono::milliseconds timeout) {
    auto& q = TheQueue();
    std::unique_lock lock(q.mutex);
    q.mainWake.wait_for(lock, timeout, [&] { return !q.calls.empty() || q.generation != generation; });
}

} // namespace kalmora
