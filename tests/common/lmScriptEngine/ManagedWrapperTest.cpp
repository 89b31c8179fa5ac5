// The run-owned wrappers: which list owns them, when they are freed, and unwrapping.

#include "lmScriptEngine/ManagedWrapper.h"

#include "UtilBox/InternalError.h"
#include "lmInterfaces/IStringList.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

using W = TManagedInterfaceWrapper;

// Counts how many of its objects are alive.
struct TTracked : public TlmInterfacedObject {
    explicit TTracked(int& alive) : FAlive(alive) { ++FAlive; }
    ~TTracked() override { --FAlive; }
    int& FAlive;
};

class ManagedWrapper : public ::testing::Test {
protected:
    ~ManagedWrapper() override { W::ClearInstanceListStack(); }
};

TEST_F(ManagedWrapper, RunListFreesWhatWasMadeDuringTheRun) {
    int alive = 0;
    W::PushInstanceList();
    new TIXmlDocumentWrapper(Make<TTracked>(alive));
    new TIXmlNodeWrapper(Make<TTracked>(alive));
    EXPECT_EQ(W::CurrentInstanceList()->Count(), 2);
    EXPECT_EQ(alive, 2);
    W::PopInstanceList();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(W::InstanceListDepth(), 0);
}

TEST_F(ManagedWrapper, NestedRunFreesOnlyItsOwnObjects) {
    int outer = 0;
    int inner = 0;
    W::PushInstanceList();
    new TIXmlDocumentWrapper(Make<TTracked>(outer));
    W::PushInstanceList();
    new TIXmlDocumentWrapper(Make<TTracked>(inner));
    new TIXmlNodeWrapper(Make<TTracked>(inner));
    W::PopInstanceList();
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(outer, 1);
    W::PopInstanceList();
    EXPECT_EQ(outer, 0);
}

TEST_F(ManagedWrapper, EarlyDestructionLeavesTheList) {
    int alive = 0;
    W::PushInstanceList();
    auto* wrapper = new TIXmlNodeWrapper(Make<TTracked>(alive));
    new TIXmlNodeWrapper(Make<TTracked>(alive));
    delete wrapper;
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(W::CurrentInstanceList()->Count(), 1);
    W::PopInstanceList();
    EXPECT_EQ(alive, 0);
}

TEST_F(ManagedWrapper, OuterObjectFreedDuringAnInnerRunIsNotFreedTwice) {
    int alive = 0;
    W::PushInstanceList();
    auto* outerWrapper = new TIXmlNodeWrapper(Make<TTracked>(alive));
    W::PushInstanceList();
    delete outerWrapper;
    EXPECT_EQ(alive, 0);
    W::PopInstanceList();
    W::PopInstanceList(); // would free the outer wrapper a second time if it were still listed
    EXPECT_EQ(W::InstanceListDepth(), 0);
}

TEST_F(ManagedWrapper, OutsideARunIsAnAssertionFailureAndNothingIsKept) {
    int alive = 0;
    EXPECT_THROW(W::CurrentInstanceList(), EAssertionFailed);
    try {
        new TIXmlDocumentWrapper(Make<TTracked>(alive));
        FAIL() << "constructed outside a run";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(e.Message().find("lmScriptEngine"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(alive, 0);
}

TEST_F(ManagedWrapper, UnwrapChecksClassAndInterface) {
    W::PushInstanceList();
    auto doc = NewXmlDocument();
    auto* docWrapper = new TIXmlDocumentWrapper(doc);
    EXPECT_EQ(AsXmlDocument(docWrapper), doc);
    EXPECT_FALSE(AsXmlNode(nullptr));
    EXPECT_FALSE(UnwrapInterface(nullptr, IXmlNode::IID, ""));
    try {
        AsXmlNode(docWrapper);
        FAIL() << "a document passed as a node";
    } catch (const EInternalError& e) {
        EXPECT_EQ(e.Message(), "Interface is not available: IXmlNode");
    }
    try {
        UnwrapInterface(docWrapper, IStringList::IID, "");
        FAIL();
    } catch (const EInternalError& e) {
        EXPECT_EQ(e.Message(), "Interface is not available: 2764edd4-1743-4d58-9554-60d75583e327");
    }
    TObject plain;
    EXPECT_THROW(AsXmlDocument(&plain), EInvalidCast);
}

} // namespace
} // namespace kalmora
