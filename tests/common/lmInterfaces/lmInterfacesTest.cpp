// Reference counting, interface queries, the construction rule, early Dispose and the interface wrapper.

#include "lmInterfaces/lmInterfaces.h"

#include "lmInterfaces/IStringList.h"
#include "lmInterfaces/InterfaceWrapper.h"

#include <gtest/gtest.h>
#include <thread>

namespace kalmora {
namespace {

struct TEvents {
    int disposed = 0;
    int destroyed = 0;
};

class IProbe : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9}");
    virtual int Answer() const = 0;
};

class TProbe : public TlmInterfacedObject, public IProbe {
public:
    explicit TProbe(TEvents& events, bool touchSelf = false) : FEvents(events) {
        if (touchSelf) {
            // A reference taken and dropped while constructing must not destroy the object.
            ConstructionCount = RefCount();
            TIntfRef<IProbe> self(this);
        }
    }
    int Answer() const override { return 42; }
    void Dispose() override {
        ++FEvents.disposed;
        TlmInterfacedObject::Dispose();
    }
    int ConstructionCount = 0;

protected:
    ~TProbe() override { ++FEvents.destroyed; }
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IProbe::IID) || TlmInterfacedObject::Implements(iid);
    }

private:
    TEvents& FEvents;
};

TEST(GuidOf, ReadsTheFieldsOfABracedIdentity) {
    constexpr TGUID g = GuidOf("{F444A855-6AE7-4C02-B1C4-481EC270DDE0}");
    EXPECT_EQ(g.D1, 0xF444A855u);
    EXPECT_EQ(g.D2, 0x6AE7);
    EXPECT_EQ(g.D3, 0x4C02);
    EXPECT_EQ(g.D4[0], 0xB1);
    EXPECT_EQ(g.D4[7], 0xE0);
    EXPECT_EQ(GuidToText(g, false), "{F444A855-6AE7-4C02-B1C4-481EC270DDE0}");
}

TEST(RefCounting, LastReferenceDestroysTheObjectOnce) {
    TEvents events;
    {
        TIntfRef<IProbe> a = Make<TProbe>(events);
        EXPECT_EQ(a->_AddRef(), 2);
        EXPECT_EQ(a->_Release(), 1);
        TIntfRef<IProbe> b = a;
        auto common = Supports<ICommon>(b);
        ASSERT_TRUE(common);
        EXPECT_EQ(common->GetRefCount(), 3);
        a.reset();
        b.reset();
        EXPECT_EQ(events.destroyed, 0);
    }
    EXPECT_EQ(events.disposed, 1);
    EXPECT_EQ(events.destroyed, 1);
}

TEST(RefCounting, CountIsHeldAtOneWhileConstructing) {
    TEvents events;
    auto probe = Make<TProbe>(events, true);
    EXPECT_EQ(probe->ConstructionCount, 1);
    EXPECT_EQ(events.destroyed, 0);
    EXPECT_EQ(probe->GetRefCount(), 1);
}

TEST(RefCounting, QueryAnswersOnlyImplementedIdentities) {
    TEvents events;
    auto probe = Make<TProbe>(events);
    EXPECT_TRUE(Supports<IInterface>(probe));
    EXPECT_TRUE(Supports<ICommon>(probe));
    EXPECT_EQ(Supports<IProbe>(probe)->Answer(), 42);
    EXPECT_FALSE(Supports<IStringList>(probe));
    EXPECT_FALSE(Supports<IProbe>(static_cast<TProbe*>(nullptr)));
    EXPECT_EQ(probe->GetRefCount(), 1) << "a failed or finished query keeps no reference";
}

TEST(RefCounting, ExplicitFreeOfAReferencedObjectIsAnInvalidPointer) {
    TEvents events;
    TProbe* raw = NewObject<TProbe>(events);
    {
        TIntfRef<TProbe> held(raw);
        EXPECT_THROW(raw->Free(), EInvalidPointer);
        held.Detach();
    }
    raw->_Release();
    EXPECT_EQ(events.destroyed, 1);

    TEvents unreferenced;
    NewObject<TProbe>(unreferenced)->Free();
    EXPECT_EQ(unreferenced.disposed, 1);
    EXPECT_EQ(unreferenced.destroyed, 1);
}

TEST(Dispose, EarlyDisposeIsNotRepeatedWhenTheLastReferenceGoes) {
    TEvents events;
    {
        auto common = Supports<ICommon>(Make<TProbe>(events));
        EXPECT_FALSE(common->IsDisposed());
        common->Dispose();
        EXPECT_TRUE(common->IsDisposed());
        EXPECT_EQ(events.disposed, 1);
    }
    EXPECT_EQ(events.disposed, 1);
    EXPECT_EQ(events.destroyed, 1);
}

TEST(Dispose, StringListFreesItsListButStillAnswersICommon) {
    auto list = NewStringList();
    list->Add("a");
    auto common = Supports<ICommon>(list);
    common->Dispose();
    EXPECT_TRUE(common->IsDisposed());
    EXPECT_EQ(common->GetRefCount(), 2);
}

TEST(InterfaceWrapper, KeepsTheWrappedObjectAliveUntilItIsDestroyed) {
    TEvents events;
    auto wrapper = std::make_unique<TInterfaceWrapper>(Make<TProbe>(events));
    EXPECT_EQ(events.destroyed, 0);
    EXPECT_EQ(Supports<IProbe>(wrapper->Intf)->Answer(), 42);
    wrapper.reset();
    EXPECT_EQ(events.destroyed, 1);
}

TEST(RefCounting, ReferencesMayBeTakenAndDroppedOnManyThreads) {
    TEvents events;
    auto probe = Make<TProbe>(events);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i)
                TIntfRef<IProbe> copy = probe;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(probe->GetRefCount(), 1);
    EXPECT_EQ(events.destroyed, 0);
}

} // namespace
} // namespace kalmora
