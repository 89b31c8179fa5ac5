#pragma once

// Named background threads registered with one manager. The manager owns every managed thread and is the only
// party that frees one. All manager operations run on the main thread; it takes no lock.

#include "lmDebug/lmDebug.h"
#include "runtime/Thread.h"

#include <string>
#include <vector>

namespace kalmora {

class TThreadManager;

class TManagedThread : public TThread {
public:
    ~TManagedThread() override;

    const std::string ThreadName;
    TThreadManager& Manager;

protected:
    // Registers with the manager (which may raise "Thread already running"); the work starts once the whole
    // object is constructed, through CreateManagedThread.
    TManagedThread(std::string name, TThreadManager& manager);

    // The debug-log flags of the entry the manager writes when an error ended Execute.
    std::uint16_t FFatalExceptionFlags = DebugFlags::Error;

private:
    friend class TThreadManager;
};

class TThreadManager {
public:
    struct Entry {
        std::string Name;
        TManagedThread* Thread;
    };

    TThreadManager() = default;
    TThreadManager(const TThreadManager&) = delete;
    TThreadManager& operator=(const TThreadManager&) = delete;
    // TerminateAll(true): blocks until every running thread has finished, then frees them.
    ~TThreadManager();

    // Raises EInternalError "Thread already running" when the name (in any case) is running.
    void RegisterThread(const std::string& name, TManagedThread* thread);
    // The OnTerminate handler of every managed thread; runs on the main thread. An error that ended the
    // thread's work (its FatalException) is logged here, once, with its class and message.
    void ThreadTerminated(TThread* thread);
    bool IsThreadRunning(const std::string& name) const;
    // Tells every running thread to terminate; with wait, blocks until each finished and frees them all.
    void TerminateAll(bool wait);
    void FreeTerminatedThreads();

    const std::vector<Entry>& RunningThreads() const { return FRunningThreads; }
    const std::vector<Entry>& TerminatedThreads() const { return FTerminatedThreads; }

private:
    friend class TManagedThread;
    void Forget(TManagedThread* thread) noexcept;

    std::vector<Entry> FRunningThreads;
    std::vector<Entry> FTerminatedThreads;
};

// Constructs a managed thread and starts it. The manager owns it; the reference is valid until the manager
// frees it. Errors of the constructor (e.g. a running name) come out here and no thread starts.
template <class T, class... Args> T& CreateManagedThread(Args&&... args) {
    std::unique_ptr<T> thread(new T(std::forward<Args>(args)...));
    thread->Start();
    return *thread.release();
}

} // namespace kalmora
