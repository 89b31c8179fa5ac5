#pragma once

// The basic thread: Execute runs on its own operating-system thread once the whole object, subclasses
// included, is constructed. That cannot happen from a base constructor in C++, so threads are made through
// MakeThread (or a factory built on Start) which constructs first and starts afterwards.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kalmora {

class TThread {
public:
    // Frees a thread the way its owner must: Terminate, WaitFor, then delete.
    struct Deleter {
        void operator()(TThread* thread) const;
    };

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    virtual ~TThread();

    // Starts the operating-system thread. Called once, by the factory, after construction has completed.
    void Start();

    // Only sets the flag; the work polls Terminated() where it can stop. Any thread may call it.
    void Terminate() noexcept { FTerminated.store(true); }
    bool Terminated() const noexcept { return FTerminated.load(); }

    // Blocks until the thread has finished (its OnTerminate has run on the main thread). On the main thread
    // it keeps running queued main-thread calls while it waits, in slices of 1000 ms. Returns at once for a
    // thread that was never started.
    void WaitFor();

    bool Finished() const noexcept { return FFinished.load(); }

    // What escaped Execute, kept and owned by the thread; nothing raises it again.
    std::exception_ptr FatalException() const;

    // Runs on the main thread after Execute has ended; the worker blocks until it has run.
    std::function<void(TThread&)> OnTerminate;

protected:
    TThread() = default;
    virtual void Execute() = 0;

private:
    void Run();

    std::thread FHandle;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FFinished{false};
    mutable std::mutex FMutex;
    std::condition_variable FFinishedCv;
    std::exception_ptr FFatalException;
};

template <class T> using ThreadPtr = std::unique_ptr<T, TThread::Deleter>;

// Constructs a T and starts it. The returned owner terminates and waits for the thread when it lets go.
template <class T, class... Args> ThreadPtr<T> MakeThread(Args&&... args) {
    ThreadPtr<T> thread(new T(std::forward<Args>(args)...));
    thread->Start();
    return thread;
}

} // namespace kalmora
