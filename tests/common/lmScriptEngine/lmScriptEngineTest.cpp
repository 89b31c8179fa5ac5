// The generic engine: named parameters as scripts read them, and the run's instance list freeing what the
// run made, on errors and in nested runs too.

#include "lmScriptEngine/lmScriptEngine.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/lmException.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

// An interface object that counts how many of its kind are alive.
struct TProbe : public TlmInterfacedObject {
    explicit TProbe(int& alive) : FAlive(alive) { ++FAlive; }
    ~TProbe() override { --FAlive; }
    int& FAlive;
};

class ScriptEngine : public testing::Test {
protected:
    ScriptEngine() { Prepare(Engine); }
    ~ScriptEngine() override { TManagedInterfaceWrapper::ClearInstanceListStack(); }

    // The vocabulary and the test's own functions: Note records a text, NewProbe makes a run-owned wrapper,
    // Alive counts the probes, RunInner runs a second engine from inside the first one's run.
    void Prepare(TlmScriptEngine& engine) {
        TJvInterpreterAdapter& adapter = engine.Adapter();
        RegisterCommonFunctions(adapter);
        RegisterUtilFunctions(adapter);
        adapter.DefineFunction(
            "Test", "Note", [this](Variant&, TJvInterpreterArgs& a) { Notes.push_back(a[0].AsString()); }, 1,
            {}, ResultNotDeclared);
        adapter.DefineFunction(
            "Test", "NewProbe",
            [this](Variant& r, TJvInterpreterArgs&) {
                r = Variant::FromObject(new TIXmlDocumentWrapper(Make<TProbe>(Alive)));
            },
            0, {}, ResultNotDeclared);
        adapter.DefineFunction(
            "Test", "Alive", [this](Variant& r, TJvInterpreterArgs&) { r = Variant(Alive); }, 0, {},
            ResultNotDeclared);
        adapter.DefineFunction(
            "Test", "RunInner",
            [this](Variant&, TJvInterpreterArgs& a) {
                TlmScriptEngine inner;
                Prepare(inner);
                inner.SetSource(a[0].AsString());
                inner.Run();
            },
            1, {}, ResultNotDeclared);
    }

    void Run(const std::string& source) {
        Engine.SetSource(source);
        Engine.Run();
    }

    TlmScriptEngine Engine;
    std::vector<std::string> Notes;
    int Alive = 0;
};

TEST_F(ScriptEngine, OfTwoParamsDifferingInCaseTheLaterWinsForEitherSpelling) {
    Engine.Params = {{"Kunde", Variant("first")}, {"other", Variant(7)}, {"KUNDE", Variant("second")}};
    for (const std::string spelling : {"Kunde", "KUNDE", "kunde"}) {
        Variant value;
        bool done = false;
        TJvInterpreterArgs args;
        Engine.ResolveIdentifier(Engine, spelling, value, args, done);
        EXPECT_TRUE(done) << spelling;
        EXPECT_EQ(value.AsString(), "second") << spelling;
    }
    Run("begin Note(kunde + ' ' + IntToStr(OTHER)) end.");
    EXPECT_EQ(Notes, std::vector<std::string>{"second 7"});
}

TEST_F(ScriptEngine, UnknownNameLeavesValueAndDoneUntouched) {
    Engine.Params = {{"Kunde", Variant("x")}};
    Variant value(42);
    bool done = false;
    TJvInterpreterArgs args;
    Engine.ResolveIdentifier(Engine, "Kunden", value, args, done);
    EXPECT_FALSE(done);
    EXPECT_EQ(value.AsInteger(), 42);
    EXPECT_THROW(Run("begin Note(Kunden) end."), EScriptError);
}

TEST_F(ScriptEngine, WhatARunMadeIsFreedAtItsEnd) {
    Run("var d: IXmlDoc;\n"
        "begin d := NewProbe; NewProbe; Note(IntToStr(Alive)) end.");
    EXPECT_EQ(Notes, std::vector<std::string>{"2"});
    EXPECT_EQ(Alive, 0);
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
}

TEST_F(ScriptEngine, WhatARunMadeIsFreedAlsoWhenTheRunRaises) {
    try {
        Run("var d: IXmlDoc;\n"
            "begin d := GenerateNewXmlDoc; d := NewProbe; raise EConvertError.Create('stop') end.");
        FAIL() << "the run ended normally";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "EConvertError");
        EXPECT_EQ(e.Message(), "stop");
    }
    EXPECT_EQ(Alive, 0);
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
    // A later run starts with a list of its own again.
    Run("begin NewProbe; Note(IntToStr(Alive)) end.");
    EXPECT_EQ(Notes, std::vector<std::string>{"1"});
}

TEST_F(ScriptEngine, TheRunsReferenceToARealDocumentGoesWithAFailingRun) {
    TIntfRef<IXmlDocument> kept;
    Engine.Adapter().DefineFunction(
        "Test", "Hold", [&](Variant&, TJvInterpreterArgs& a) { kept = AsXmlDocument(ScriptArgObject(a[0])); },
        1, {}, ResultNotDeclared);
    EXPECT_THROW(Run("var d: IXmlDoc; n: IXmlNode;\n"
                     "begin d := GenerateNewXmlDoc; n := d.AddChild('root'); Hold(d); StrToInt('x') end."),
                 EConvertError);
    auto* counted = dynamic_cast<TInterfacedObject*>(kept.get());
    ASSERT_NE(counted, nullptr);
    // Neither the document's wrapper nor the node (which keeps its document) is left holding it.
    EXPECT_EQ(counted->RefCount(), 1);
}

TEST_F(ScriptEngine, NestedRunFreesOnlyItsOwnObjects) {
    Run("var d: IXmlDoc;\n"
        "begin\n"
        "  NewProbe;\n"
        "  d := GenerateNewXmlDoc;\n"
        "  RunInner('begin NewProbe; NewProbe; Note(IntToStr(Alive)) end.');\n"
        "  Note(IntToStr(Alive));\n"
        "  d.AddChild('usable');\n"
        "end.");
    EXPECT_EQ(Notes, (std::vector<std::string>{"3", "1"}));
    EXPECT_EQ(Alive, 0);
}

TEST_F(ScriptEngine, NestedRunThatRaisesStillFreesItsObjectsAndTheOuterRunGoesOn) {
    Run("begin\n"
        "  NewProbe;\n"
        "  try\n"
        "    RunInner('begin NewProbe; raise EConvertError.Create(''inner'') end.');\n"
        "  except\n"
        "    on E: Exception do Note(E.ClassName + ' ' + E.Message + ' ' + IntToStr(Alive));\n"
        "  end;\n"
        "end.");
    EXPECT_EQ(Notes, std::vector<std::string>{"EConvertError inner 1"});
    EXPECT_EQ(Alive, 0);
}

TEST_F(ScriptEngine, ADocumentWhereANodeBelongsIsNamedAsTheMissingInterface) {
    Run("begin\n"
        "  try\n"
        "    AddChildValue(GenerateNewXmlDoc, 'a', 'b');\n"
        "  except\n"
        "    on E: Exception do Note(E.ClassName + ': ' + E.Message);\n"
        "  end;\n"
        "end.");
    EXPECT_EQ(Notes, std::vector<std::string>{"EInternalError: Interface is not available: IXmlNode"});
}

TEST_F(ScriptEngine, HostExceptionsAreCaughtByTheirRegisteredAncestors) {
    Engine.Adapter().DefineFunction(
        "Test", "FailData", [](Variant&, TJvInterpreterArgs&) { throw EDataError("no record", "Test"); }, 0,
        {}, ResultNotDeclared);
    Run("begin\n"
        "  try FailData except on E: EConvertError do Note('wrong'); on E: ElmException do Note(E.ClassName) "
        "end;\n"
        "  try\n"
        "    try AddChildValue(GenerateNewXmlDoc, 'a', 'b') except on E: ElmException do Note('wrong') end;\n"
        "  except\n"
        "    on E: EInternalError do Note(E.ClassName);\n"
        "  end;\n"
        "end.");
    EXPECT_EQ(Notes, (std::vector<std::string>{"EDataError", "EInternalError"}));
}

TEST(ScriptEngineUnwrap, NoneGivesNoneAndAnUnnamedIdentityIsShownInLowerCase) {
    EXPECT_FALSE(TlmScriptEngine::UnwrapInterface(nullptr, IXmlNode::IID, "IXmlNode"));
    EXPECT_FALSE(TlmScriptEngine::AsXmlDocument(nullptr));
    EXPECT_FALSE(TlmScriptEngine::AsXmlNode(nullptr));
    int alive = 0;
    TInterfaceWrapper wrapper(Make<TProbe>(alive));
    try {
        TlmScriptEngine::UnwrapInterface(&wrapper, IXmlDocument::IID, "");
        FAIL() << "no error";
    } catch (const EInternalError& e) {
        EXPECT_EQ(e.Message(), "Interface is not available: 395950c3-7e5d-11d4-83da-00c04f60b2dd");
    }
}

} // namespace
} // namespace kalmora
