#include "lmThreadManager/lmThreadManager.h"

#include "UtilBox/InternalError.h"
#include "runtime/MainThreadQueue.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kalmora;
using namespace std::chrono_literals;

namespace {

// A managed thread whose work waits for the test to open its gate (or for Terminate, when it polls).
class GateThread : public TManagedThread {
public:
    GateThread(std::string name, TThreadManager& manager, std::shared_future<void> gate,
               bool pollTerminated = false, bool raise = false)
        : TManagedThread(std::move(name), manager), FGate(std::move(gate)), FPoll(pollTerminated),
          FRaise(raise) {}

    std::atomic<bool> Executed{false};
    std::atomic<bool> WorkDone{false};
    std::promise<void> Entered;
    static inline std::atomic<int> Destroyed{0};
    ~GateThread() override { ++Destroyed; }

protected:
    void Execute() override {
        Executed = true;
        Entered.set_value();
        while (FGate.wait_for(5ms) != std::future_status::ready)
            if (FPoll && Terminated())
                break;
        WorkDone = true;
        if (FRaise)
            throw std::runtime_error("work failed");
    }

private:
    std::shared_future<void> FGate;
    bool FPoll;
    bool FRaise;
};

// Runs main-thread calls until the manager no longer reports the name as running.
void PumpUntilFinished(TThreadManager& manager, const std::string& name) {
    while (manager.IsThreadRunning(name))
        CheckSynchronize(1000ms);
}

struct Gate {
    std::promise<void> promise;
    std::shared_future<void> future = promise.get_future().share();
    void Open() { promise.set_value(); }
};

} // namespace

TEST(ThreadManager, NamesMatchWithoutRegardToCase) {
    TThreadManager manager;
    Gate gate;
    auto& t = CreateManagedThread<GateThread>("KMConfigUpdaterThread", manager, gate.future);
    EXPECT_TRUE(manager.IsThreadRunning("kmconfigupdaterthread"));
    EXPECT_TRUE(manager.IsThreadRunning("KMCONFIGUPDATERTHREAD"));
    EXPECT_FALSE(manager.IsThreadRunning("never registered"));
    EXPECT_THROW(
        {
            try {
                CreateManagedThread<GateThread>("kmCONFIGupdaterTHREAD", manager, gate.future);
            } catch (const EInternalError& e) {
                EXPECT_EQ(e.Message(), "Thread already running");
                throw;
            }
        },
        EInternalError);
    // The refused thread never ran and the lists are as before.
    ASSERT_EQ(manager.RunningThreads().size(), 1u);
    EXPECT_EQ(manager.RunningThreads()[0].Thread, &t);
    EXPECT_TRUE(manager.TerminatedThreads().empty());
    gate.Open();
    PumpUntilFinished(manager, "KMConfigUpdaterThread");
    EXPECT_TRUE(t.Executed);
}

TEST(ThreadManager, NameCanBeRegisteredAgainAfterFinish) {
    TThreadManager manager;
    Gate gate;
    gate.Open();
    auto& first = CreateManagedThread<GateThread>("Worker", manager, gate.future);
    PumpUntilFinished(manager, "Worker");
    EXPECT_FALSE(manager.IsThreadRunning("worker"));
    auto& second = CreateManagedThread<GateThread>("WORKER", manager, gate.future);
    PumpUntilFinished(manager, "WORKER");
    ASSERT_EQ(manager.TerminatedThreads().size(), 2u);
    EXPECT_EQ(manager.TerminatedThreads()[0].Thread, &first);
    EXPECT_EQ(manager.TerminatedThreads()[1].Thread, &second);
    manager.FreeTerminatedThreads();
    EXPECT_TRUE(manager.TerminatedThreads().empty());
}

TEST(ThreadManager, CountsAsRunningUntilTheMainThreadProcessedTheFinish) {
    TThreadManager manager;
    Gate gate;
    auto& t = CreateManagedThread<GateThread>("Worker", manager, gate.future);
    gate.Open();
    // The work ends, but without the main thread running its queue the finish is not processed.
    while (!t.WorkDone)
        std::this_thread::yield();
    EXPECT_TRUE(manager.IsThreadRunning("Worker"));
    PumpUntilFinished(manager, "Worker");
    ASSERT_EQ(manager.TerminatedThreads().size(), 1u);
    EXPECT_EQ(manager.TerminatedThreads()[0].Thread, &t); // processed, but not freed
}

TEST(ThreadManager, TerminateAllWithoutWaitReturnsAtOnceAndFreesNothing) {
    const int before = GateThread::Destroyed;
    TThreadManager manager;
    Gate gate;
    auto& t = CreateManagedThread<GateThread>("Worker", manager, gate.future);
    t.Entered.get_future().wait();
    manager.TerminateAll(false);
    EXPECT_TRUE(t.Terminated());
    EXPECT_TRUE(manager.IsThreadRunning("Worker"));
    EXPECT_FALSE(t.WorkDone);
    EXPECT_EQ(GateThread::Destroyed, before);
    gate.Open();
}

TEST(ThreadManager, TerminateAllWithWaitWaitsForAndFreesEveryThread) {
    const int before = GateThread::Destroyed;
    TThreadManager manager;
    Gate gate;
    std::vector<GateThread*> threads;
    for (auto name : {"A", "B", "C"})
        threads.push_back(&CreateManagedThread<GateThread>(name, manager, gate.future, /*poll*/ true));
    for (auto* t : threads)
        t->Entered.get_future().wait();
    manager.TerminateAll(true);
    EXPECT_TRUE(manager.RunningThreads().empty());
    EXPECT_TRUE(manager.TerminatedThreads().empty());
    EXPECT_EQ(GateThread::Destroyed, before + 3);
    gate.Open();
}

TEST(ThreadManager, TerminateAllWithWaitAndNoRunningThreadFreesTheTerminated) {
    const int before = GateThread::Destroyed;
    TThreadManager manager;
    Gate gate;
    gate.Open();
    CreateManagedThread<GateThread>("Worker", manager, gate.future);
    PumpUntilFinished(manager, "Worker");
    manager.TerminateAll(true);
    EXPECT_TRUE(manager.TerminatedThreads().empty());
    EXPECT_EQ(GateThread::Destroyed, before + 1);
}

// A thread whose constructor is slow enough that Terminate lands before its work could begin.
class TerminatedBeforeStart : public TManagedThread {
public:
    TerminatedBeforeStart(TThreadManager& manager) : TManagedThread("Early", manager) { Terminate(); }
    std::atomic<bool> Executed{false};

protected:
    void Execute() override { Executed = true; }
};

TEST(ThreadManager, ThreadTerminatedBeforeStartSkipsExecuteButFinishes) {
    TThreadManager manager;
    auto& t = CreateManagedThread<TerminatedBeforeStart>(manager);
    PumpUntilFinished(manager, "Early");
    EXPECT_FALSE(t.Executed);
    ASSERT_EQ(manager.TerminatedThreads().size(), 1u);
    EXPECT_EQ(manager.TerminatedThreads()[0].Name, "Early");
}

TEST(ThreadManager, ExecuteThatRaisesStillReachesTerminated) {
    TThreadManager manager;
    Gate gate;
    gate.Open();
    auto& t = CreateManagedThread<GateThread>("Raiser", manager, gate.future, false, /*raise*/ true);
    PumpUntilFinished(manager, "Raiser");
    ASSERT_TRUE(t.FatalException());
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);
    EXPECT_EQ(manager.TerminatedThreads().size(), 1u);
}

TEST(ThreadManager, WhatEndedAThreadIsLoggedOnceAtItsFinish) {
    std::vector<std::string> lines;
    SetDebugOutputHook([&lines](const std::string& line) { lines.push_back(line); });
    const auto level = GetDebugLevel();
    SetDebugLevel(DefaultDebugLevel);
    {
        TThreadManager manager;
        Gate gate;
        gate.Open();
        CreateManagedThread<GateThread>("Quiet", manager, gate.future);
        CreateManagedThread<GateThread>("Raiser", manager, gate.future, false, /*raise*/ true);
        PumpUntilFinished(manager, "Quiet");
        PumpUntilFinished(manager, "Raiser");
        manager.FreeTerminatedThreads();
    }
    SetDebugOutputHook({});
    SetDebugLevel(level);
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_NE(lines[0].find("#ERROR (in 'Raiser') : : Exception: work failed"), std::string::npos)
        << lines[0];
}

TEST(ThreadManager, DestroyingTheManagerBlocksUntilWorkEnds) {
    Gate gate;
    std::atomic<bool> done{false};
    auto manager = std::make_unique<TThreadManager>();
    auto& t = CreateManagedThread<GateThread>("Slow", *manager, gate.future);
    t.Entered.get_future().wait();
    std::thread opener([&] {
        std::this_thread::sleep_for(50ms); // gives the destructor time to start blocking
        done = true;
        gate.Open();
    });
    manager.reset();
    EXPECT_TRUE(done);
    opener.join();
}

TEST(ThreadManager, ThreadTerminatedAssertsOnUnmanagedThread) {
    class Plain : public TThread {
    protected:
        void Execute() override {}
    };
    TThreadManager manager;
    auto plain = MakeThread<Plain>();
    plain->WaitFor();
    try {
        manager.ThreadTerminated(plain.get());
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(e.Message().find("Assertion fehlges (lmThreadManager, Zeile "), std::string::npos);
    }
}
