#include "runtime/Thread.h"

#include "runtime/MainThreadQueue.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace kalmora;
using namespace std::chrono_literals;

namespace {

class FnThread : public TThread {
public:
    explicit FnThread(std::function<void(FnThread&)> work) : FWork(std::move(work)) {}
    using TThread::Terminated;

protected:
    void Execute() override { FWork(*this); }

private:
    std::function<void(FnThread&)> FWork;
};

} // namespace

TEST(Thread, SubclassFieldsAreSetBeforeExecuteRuns) {
    class Fielded : public TThread {
    public:
        Fielded() : Value(42) {}
        int Value;
        std::promise<int> Seen;

    protected:
        void Execute() override { Seen.set_value(Value); }
    };
    auto t = MakeThread<Fielded>();
    EXPECT_EQ(t->Seen.get_future().get(), 42);
}

TEST(Thread, OnTerminateRunsOnTheMainThreadWhileTheWorkerWaits) {
    std::atomic<bool> ranOnMain{false};
    auto t = ThreadPtr<FnThread>(new FnThread([](FnThread&) {}));
    t->OnTerminate = [&](TThread&) { ranOnMain = IsMainThread(); };
    t->Start();
    while (!t->Finished())
        CheckSynchronize(1000ms);
    EXPECT_TRUE(ranOnMain);
}

TEST(Thread, WaitForOnTheMainThreadRunsQueuedCalls) {
    std::atomic<int> calls{0};
    auto t = ThreadPtr<FnThread>(new FnThread([&](FnThread&) {
        for (int i = 0; i < 3; ++i)
            Synchronize([&] { ++calls; });
    }));
    t->OnTerminate = [&](TThread&) { ++calls; };
    t->Start();
    t->WaitFor();
    EXPECT_TRUE(t->Finished());
    EXPECT_EQ(calls, 4);
}

TEST(Thread, ErrorFromExecuteIsKeptNotRaised) {
    auto t = MakeThread<FnThread>([](FnThread&) { throw std::runtime_error("boom"); });
    t->WaitFor();
    ASSERT_TRUE(t->FatalException());
    try {
        std::rethrow_exception(t->FatalException());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST(Thread, FreeingARunningThreadTerminatesAndWaits) {
    std::atomic<bool> sawTerminate{false};
    std::promise<void> entered;
    {
        auto t = MakeThread<FnThread>([&](FnThread& self) {
            entered.set_value();
            while (!self.Terminated())
                std::this_thread::yield();
            sawTerminate = true;
        });
        entered.get_future().wait();
    }
    EXPECT_TRUE(sawTerminate);
}

TEST(Thread, SynchronizeRethrowsInTheWorker) {
    std::atomic<bool> caught{false};
    auto t = MakeThread<FnThread>([&](FnThread&) {
        try {
            Synchronize([] { throw std::logic_error("main failed"); });
        } catch (const std::logic_error&) {
            caught = true;
        }
    });
    t->WaitFor();
    EXPECT_TRUE(caught);
    EXPECT_FALSE(t->FatalException());
}

TEST(Thread, WakeHookIsCalledWhenACallIsQueued) {
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] { ++wakes; });
    auto t = MakeThread<FnThread>([](FnThread&) { Synchronize([] {}); });
    t->WaitFor();
    SetWakeMainThread({});
    EXPECT_GE(wakes, 1);
}
