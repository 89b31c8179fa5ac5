// The generic engine: named parameters as scripts read them, and the objects a run creates living exactly as
// long as that run, also when it fails or when runs nest.

#include "lmScriptEngine/lmScriptEngine.h"

#include "lmScriptEngine/CommonFunctions.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

using W = TManagedInterfaceWrapper;

struct TTracked : public TlmInterfacedObject {
    explicit TTracked(int& alive) : FAlive(alive) { ++FAlive; }
    ~TTracked() override { --FAlive; }
    int& FAlive;
};

// An engine whose own registry can print and create tracked run objects.
class Engine : public ::testing::Test {
protected:
    Engine() {
        Define(Script);
        Script.Adapter().DefineFunction(
            "Test", "NewTracked",
            [this](Variant& r, TJvInterpreterArgs&) {
                r = Variant::FromObject(new TIXmlDocumentWrapper(Make<TTracked>(Alive)));
            },
            0, {}, ResultNotDeclared);
    }
    ~Engine() override { W::ClearInstanceListStack(); }

    void Define(TlmScriptEngine& engine) {
        engine.Adapter().DefineFunction(
            "Test", "Print", [this](Variant&, TJvInterpreterArgs& a) { Output += a[0].AsString() + "\n"; }, 1,
            {}, ResultNotDeclared);
    }

    Variant Resolve(TlmScriptEngine& engine, const std::string& name, bool& done) {
        Variant value("untouched");
        TJvInterpreterArgs args;
        done = false;
        engine.ResolveIdentifier(engine, name, value, args, done);
        return value;
    }

    TlmScriptEngine Script;
    std::string Output;
    int Alive = 0;
};

TEST_F(Engine, OfTwoParamsDifferingInCaseTheLaterWinsForEitherSpelling) {
    Script.Params = {{"Kunde", Variant("first")}, {"other", Variant(1)}, {"KUNDE", Variant("second")}};
    bool done = false;
    for (const char* name : {"Kunde", "kunde", "KUNDE", "kUNDE"}) {
        EXPECT_EQ(Resolve(Script, name, done).AsString(), "second") << name;
        EXPECT_TRUE(done) << name;
    }
    Script.SetSource("begin Print(kunde); Print(Other + 1) end.");
    Script.Run();
    EXPECT_EQ(Output, "second\n2\n");
}

TEST_F(Engine, AnUnknownNameLeavesValueAndDoneAndTheRunNamesIt) {
    Script.Params = {{"Kunde", Variant("x")}};
    bool done = true;
    EXPECT_EQ(Resolve(Script, "Kunden", done).AsString(), "untouched");
    EXPECT_FALSE(done);
    // Only ASCII letters fold: a non-ASCII spelling is another name.
    Script.Params = {{"Straße", Variant("x")}};
    EXPECT_EQ(Resolve(Script, "STRAßE", done).AsString(), "x");
    EXPECT_EQ(Resolve(Script, "strasse", done).AsString(), "untouched");

    Script.SetSource("begin\n  Print(Nirgends)\nend.");
    try {
        Script.Run();
        FAIL() << "unresolved name accepted";
    } catch (const EScriptError& e) {
        EXPECT_NE(e.Message().find("Nirgends"), std::string::npos) << e.Message();
        EXPECT_EQ(e.Line(), 2);
    }
    EXPECT_EQ(W::InstanceListDepth(), 0);
}

TEST_F(Engine, RunObjectsAreFreedWhenTheRunEnds) {
    Script.SetSource("var d: Variant; begin d := NewTracked; NewTracked; Print('made') end.");
    Script.Run();
    EXPECT_EQ(Output, "made\n");
    EXPECT_EQ(Alive, 0);
    EXPECT_EQ(W::InstanceListDepth(), 0);
}

TEST_F(Engine, RunObjectsAreFreedAlsoWhenTheRunRaises) {
    Script.SetSource("var d: Variant; begin d := NewTracked; raise Exception.Create('kaputt') end.");
    EXPECT_THROW(Script.Run(), Exception);
    EXPECT_EQ(Alive, 0);
    EXPECT_EQ(W::InstanceListDepth(), 0);
    // The engine stays usable.
    Script.SetSource("begin NewTracked; Print('again') end.");
    Script.Run();
    EXPECT_EQ(Output, "again\n");
    EXPECT_EQ(Alive, 0);
}

TEST_F(Engine, ARealXmlDocumentOfAFailingRunIsReleased) {
    // With the real vocabulary: the document wrapper joins the run's list and its reference goes with it.
    TlmScriptEngine engine;
    RegisterCommonFunctions(engine.Adapter());
    RegisterUtilFunctions(engine.Adapter());
    TIntfRef<IXmlDocument> kept;
    int listed = -1;
    engine.Adapter().DefineFunction(
        "Test", "Keep",
        [&](Variant&, TJvInterpreterArgs& a) {
            kept = AsXmlDocument(dynamic_cast<TObject*>(a[0].AsObject()));
            listed = W::CurrentInstanceList()->Count();
        },
        1, {}, ResultNotDeclared);
    engine.SetSource("var d, n: Variant; begin d := GenerateNewXmlDoc; n := d.AddChild('root'); Keep(d); "
                     "StrToInt('no number') end.");
    EXPECT_THROW(engine.Run(), EConvertError);
    EXPECT_EQ(listed, 2);
    EXPECT_EQ(W::InstanceListDepth(), 0);
    auto* counted = dynamic_cast<TInterfacedObject*>(kept.get());
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(counted->RefCount(), 1) << "only the test's own reference is left";
}

TEST_F(Engine, NestedRunsFreeOnlyTheInnerRunsObjects) {
    TlmScriptEngine inner;
    Define(inner);
    int innerAlive = 0;
    inner.Adapter().DefineFunction(
        "Test", "NewInner",
        [&](Variant& r, TJvInterpreterArgs&) {
            r = Variant::FromObject(new TIXmlNodeWrapper(Make<TTracked>(innerAlive)));
        },
        0, {}, ResultNotDeclared);
    inner.SetSource("var a, b: Variant; begin a := NewInner; b := NewInner; Print('inner') end.");
    int outerDuringInner = -1;
    int innerAfterInner = -1;
    Script.Adapter().DefineFunction(
        "Test", "RunInner",
        [&](Variant&, TJvInterpreterArgs&) {
            inner.Run();
            outerDuringInner = Alive;
            innerAfterInner = innerAlive;
        },
        0, {}, ResultNotDeclared);
    Script.SetSource("var d: Variant; begin d := NewTracked; RunInner; Print('outer') end.");
    Script.Run();
    EXPECT_EQ(Output, "inner\nouter\n");
    EXPECT_EQ(innerAfterInner, 0);
    EXPECT_EQ(outerDuringInner, 1);
    EXPECT_EQ(Alive, 0);
}

TEST_F(Engine, UnwrappingNoneYieldsNone) {
    EXPECT_FALSE(TlmScriptEngine::AsXmlDocument(nullptr));
    EXPECT_FALSE(TlmScriptEngine::AsXmlNode(nullptr));
    EXPECT_FALSE(TlmScriptEngine::UnwrapInterface(nullptr, IXmlNode::IID, "IXmlNode"));
}

} // namespace
} // namespace kalmora
