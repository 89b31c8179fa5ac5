#include "Thread.h"

#include "Exceptions.h"
#include "MainThreadQueue.h"

namespace kalmora {
namespace {
constexpr std::chrono::milliseconds WaitSlice{1000};
}

void TThread::Deleter::operator()(TThread* thread) const {
    if (!thread)
        return;
    thread->Terminate();
    thread->WaitFor();
    delete thread;
}

TThread::~TThread() {
    // Owners free through Deleter; this only keeps a forgotten join from ending the process.
    if (FHandle.joinable()) {
        Terminate();
        WaitFor();
    }
}

void TThread::Start() {
    Assert(!FStarted.exchange(true), "Classes", "Thread already started");
    FHandle = std::thread([this] { Run(); });
}

void TThread::Run() {
    try {
        if (!Terminated())
            Execute();
    } catch (...) {
        // Nothing may escape a thread; the error waits in FatalException for the owner, who reads and logs it
        // in OnTerminate.
        std::lock_guard lock(FMutex);
        FFatalException = std::current_exception();
    }
    try {
        if (OnTerminate)
            Synchronize([this] { OnTerminate(*this); });
    } catch (...) {
        // Kept like an error of Execute, unless that one came first.
        std::lock_guard lock(FMutex);
        if (!FFatalException)
            FFatalException = std::current_exception();
    }
    {
        std::lock_guard lock(FMutex);
        FFinished.store(true);
    }
    FFinishedCv.notify_all();
    SignalMainThread();
}

void TThread::WaitFor() {
    if (!FStarted.load())
        return;
    Assert(FHandle.get_id() != std::this_thread::get_id(), "Classes", "WaitFor called on the thread itself");
    if (IsMainThread()) {
        for (;;) {
            auto generation = MainSignalGeneration();
            if (Finished())
                break;
            WaitForMainSignal(generation, WaitSlice);
            CheckSynchronize();
        }
    } else {
        std::unique_lock lock(FMutex);
        FFinishedCv.wait(lock, [this] { return FFinished.load(); });
    }
    std::lock_guard lock(FMutex);
    if (FHandle.joinable())
        FHandle.join();
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard lock(FMutex);
    return FFatalException;
}

} // namespace kalmora
