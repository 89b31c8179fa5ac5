#include "lmThreadManager.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/TextHelpers.h"

#include <algorithm>

namespace kalmora {
namespace {

constexpr std::string_view Unit = "lmThreadManager";

auto FindName(std::vector<TThreadManager::Entry>& list, std::string_view name) {
    return std::find_if(list.begin(), list.end(), [&](const auto& e) { return SameText(e.Name, name); });
}

} // namespace

TManagedThread::TManagedThread(std::string name, TThreadManager& manager)
    : ThreadName(std::move(name)), Manager(manager) {
    Manager.RegisterThread(ThreadName, this);
    OnTerminate = [this](TThread& self) { Manager.ThreadTerminated(&self); };
}

TManagedThread::~TManagedThread() {
    // Normally the manager has taken the thread out of its lists before freeing it; a thread that failed to
    // start is freed by its factory and must not stay registered.
    Manager.Forget(this);
}

TThreadManager::~TThreadManager() {
    TerminateAll(true);
}

void TThreadManager::RegisterThread(const std::string& name, TManagedThread* thread) {
    if (FindName(FRunningThreads, name) != FRunningThreads.end())
        throw EInternalError("Thread already running");
    FRunningThreads.push_back({name, thread});
}

void TThreadManager::ThreadTerminated(TThread* thread) {
    auto* managed = dynamic_cast<TManagedThread*>(thread);
    Assert(managed != nullptr, Unit);
    if (auto it = FindName(FRunningThreads, managed->ThreadName); it != FRunningThreads.end())
        FRunningThreads.erase(it);
    FTerminatedThreads.push_back({managed->ThreadName, managed});
    if (auto fatal = managed->FatalException()) {
        // The top of every managed thread: what escaped its work is logged here and nowhere else.
        const auto error = DescribeException(fatal);
        DebugError(error.className + ": " + error.message, managed->ThreadName,
                   managed->FFatalExceptionFlags);
    }
}

bool TThreadManager::IsThreadRunning(const std::string& name) const {
    return std::any_of(FRunningThreads.begin(), FRunningThreads.end(),
                       [&](const auto& e) { return SameText(e.Name, name); });
}

void TThreadManager::TerminateAll(bool wait) {
    for (auto& entry : FRunningThreads)
        entry.Thread->Terminate();
    if (!wait)
        return;
    std::vector<TManagedThread*> running;
    for (auto& entry : FRunningThreads)
        running.push_back(entry.Thread);
    for (auto* thread : running)
        thread->WaitFor();
    FreeTerminatedThreads();
}

void TThreadManager::FreeTerminatedThreads() {
    auto finished = std::move(FTerminatedThreads);
    FTerminatedThreads.clear();
    for (auto& entry : finished)
        TThread::Deleter()(entry.Thread);
}

void TThreadManager::Forget(TManagedThread* thread) noexcept {
    auto same = [&](const Entry& e) { return e.Thread == thread; };
    std::erase_if(FRunningThreads, same);
    std::erase_if(FTerminatedThreads, same);
}

} // namespace kalmora
