// The contract between scripts and their host: name resolution order, host functions with by-reference
// arguments, members found by the object's class, object references, format arguments and recompiling
// when a registry changes.

#include "ScriptTestSupport.h"
#include "interpreter/InterpreterAdapter.h"

namespace kalmora::test {
namespace {

class Animal : public TScriptObject {
public:
    std::string Sound = "...";
};
class Dog : public Animal {};

class HostTest : public ScriptFixture {
protected:
    ~HostTest() override { FinalizeInterpreter(); }

    Dog Rex;
    Animal Generic;
};

TEST_F(HostTest, ScriptNamesComeFirstThenOwnRegistryThenGlobalThenOnGetValue) {
    GlobalRegistry().DefineConstant("Test", "Alpha", Variant("global alpha"));
    GlobalRegistry().DefineConstant("Test", "Beta", Variant("global beta"));
    GlobalRegistry().DefineConstant("Test", "Gamma", Variant("global gamma"));
    Program.Adapter().DefineConstant("Test", "Beta", Variant("own beta"));
    Program.Adapter().DefineConstant("Test", "Gamma", Variant("own gamma"));
    std::vector<std::string> asked;
    Program.OnGetValue = [&](TJvInterpreterProgram&, const std::string& name, Variant& value,
                             TJvInterpreterArgs& args, bool& done) {
        asked.push_back(name);
        if (name == "Delta") {
            value = Variant("event delta/" + std::to_string(args.Count()));
            done = true;
        }
    };
    EXPECT_EQ(
        Run("const Gamma = 'script gamma';\nbegin Print(Alpha); Print(Beta); Print(Gamma); Print(Delta); "
            "Print(Delta(1, 2)) end."),
        "global alpha\nown beta\nscript gamma\nevent delta/0\nevent delta/2\n");
    EXPECT_EQ(asked, (std::vector<std::string>{"Delta", "Delta"}));
}

TEST_F(HostTest, UnresolvedWhenOnGetValueDeclines) {
    Program.OnGetValue = [](TJvInterpreterProgram&, const std::string&, Variant&, TJvInterpreterArgs&,
                            bool&) {};
    EScriptError error = RunFailing("begin\n  Print(invoice)\nend.");
    EXPECT_EQ(error.Line(), 2);
    EXPECT_NE(error.Message().find("'invoice'"), std::string::npos);
}

TEST_F(HostTest, ByReferenceArgumentsAreCopiedBackOthersAreNot) {
    Program.Adapter().DefineFunction(
        "Test", "Mangle",
        [](Variant& result, TJvInterpreterArgs& args) {
            args[0] = Variant(args[0].AsString() + "!");
            args[1] = Variant(99);
            result = Variant(args.Count());
        },
        2, {ParamByRef}, ResultNotDeclared);
    EXPECT_EQ(Run("var s: string; n: Integer;\n"
                  "procedure Inner(var t: string); begin Mangle(t, n) end;\n"
                  "begin s := 'a'; n := 1; Print(Mangle(s, n)); Print(s); Print(n); Inner(s); Print(s) end."),
              "2\na!\n1\na!!\n");
}

TEST_F(HostTest, MembersAreFoundByClassAlsoOnDerivedClassesWithOrWithoutParentheses) {
    auto& registry = GlobalRegistry();
    registry.DefineClass("Test", TScriptClass::Of<Animal>(), "IAnimal");
    registry.DefineClass("Test", TScriptClass::Of<Dog>(), "IDog");
    registry.DefineMember(
        TScriptClass::Of<Animal>(), "Sound",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(static_cast<Animal*>(args.Obj())->Sound);
        },
        0, {}, ResultNotDeclared);
    registry.DefineMember(
        TScriptClass::Of<Animal>(), "Speak",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(static_cast<Animal*>(args.Obj())->Sound + " x" + args[0].AsString());
        },
        1, {}, ResultNotDeclared);
    registry.DefineMember(
        TScriptClass::Of<Animal>(), "Type",
        [](Variant& result, TJvInterpreterArgs&) { result = Variant("animal"); }, 0, {}, ResultNotDeclared);
    registry.DefineMember(
        TScriptClass::Of<Dog>(), "Fetch",
        [](Variant& result, TJvInterpreterArgs&) { result = Variant("stick"); }, 0, {}, ResultNotDeclared);
    Rex.Sound = "woof";
    Program.Adapter().DefineConstant("Test", "Rex", Variant::FromObject(&Rex));
    Program.Adapter().DefineConstant("Test", "Generic", Variant::FromObject(&Generic));
    EXPECT_EQ(Run("var a: Variant;\nbegin a := Rex; Print(a.Sound); Print(a.Sound()); Print(Rex.Speak(2)); "
                  "Print(a.Fetch); Print(Generic.Sound); Print(a.type) end."),
              "woof\nwoof\nwoof x2\nstick\n...\nanimal\n");
    EXPECT_EQ(registry.TypeNameOf(&Rex), "IDog");

    EScriptError error = RunFailing("begin\n  Print(Generic.Fetch)\nend.");
    EXPECT_EQ(error.Line(), 2);
    EXPECT_NE(error.Message().find("no member 'Fetch'"), std::string::npos) << error.Message();
    error = RunFailing("begin\n  Print(Rex.Speak)\nend.");
    EXPECT_NE(error.Message().find("Wrong number of arguments for 'Speak'"), std::string::npos);
}

TEST_F(HostTest, ObjectReferencesTravelThroughVariablesAndCompareWithNil) {
    Program.Adapter().DefineFunction(
        "Test", "NewDog",
        [this](Variant& result, TJvInterpreterArgs&) { result = Variant::FromObject(&Rex); }, 0, {},
        ResultNotDeclared);
    TScriptObject* seen = nullptr;
    Program.Adapter().DefineFunction(
        "Test", "Take", [&](Variant&, TJvInterpreterArgs& args) { seen = args[0].AsObject(); }, 1, {},
        ResultNotDeclared);
    EXPECT_EQ(
        Run("var d, e: Variant;\nbegin d := NewDog; Print(d <> nil); Print(e = nil); Print(d = NewDog()); "
            "Take(d) end."),
        "True\nTrue\nTrue\n");
    EXPECT_EQ(seen, &Rex);
}

TEST_F(HostTest, FormatArgumentsAndArraysGivenForSets) {
    Program.Adapter().DefineFunction(
        "Test", "Describe",
        [](Variant& result, TJvInterpreterArgs& args) {
            std::string text = args[0].AsString();
            for (const Variant& v : args.FormatArgs(1))
                text += "|" + v.AsString();
            result = Variant(text);
        },
        2, {}, ResultNotDeclared);
    Program.Adapter().DefineFunction(
        "Test", "Bits",
        [](Variant& result, TJvInterpreterArgs& args) {
            int bits = 0;
            if (args[0].IsArray())
                for (const Variant& v : args[0].Items())
                    bits |= 1 << v.AsInteger();
            else
                bits = args[0].AsInteger();
            result = Variant(bits);
        },
        1, {}, ResultNotDeclared);
    EXPECT_EQ(
        Run("const mbYes = 0; mbNo = 1;\nbegin Print(Describe('f', [1, 'a', 2.5])); Print(Describe('g', 7)); "
            "Print(Bits([mbYes, mbNo])); Print(Bits(3)) end."),
        "f|1|a|2.5\ng|7\n3\n3\n");
}

TEST_F(HostTest, HostExceptionsLeaveRunAsRaised) {
    Program.SetSource("begin Fail('bad number') end.");
    try {
        Program.Run();
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "bad number");
    }
}

TEST_F(HostTest, RegistrationsAfterCompilingAreSeenAndAFreedRegistryIsNotUsed) {
    Program.SetSource("begin Print(Late) end.");
    Program.OnGetValue = [](TJvInterpreterProgram&, const std::string&, Variant& value, TJvInterpreterArgs&,
                            bool& done) {
        value = Variant("from event");
        done = true;
    };
    Program.Compile();
    GlobalRegistry().DefineConstant("Test", "Late", Variant("registered"));
    Program.Run();
    EXPECT_EQ(Output, "registered\n");
    FinalizeInterpreter();
    Output.clear();
    Program.Run();
    EXPECT_EQ(Output, "from event\n");
    EXPECT_FALSE(GlobalRegistryExists());
}

TEST_F(HostTest, AHostFunctionMayRunAnotherProgramAndTheSameOneAgain) {
    TJvInterpreterProgram inner;
    inner.Adapter().DefineFunction(
        "Test", "Print", [this](Variant&, TJvInterpreterArgs& args) { Output += args[0].AsString() + "\n"; },
        1, {}, ResultNotDeclared);
    inner.SetSource("begin Print('inner') end.");
    int depth = 0;
    Program.Adapter().DefineFunction(
        "Test", "Nest",
        [&](Variant&, TJvInterpreterArgs&) {
            inner.Run();
            if (++depth == 1)
                Program.Run();
        },
        0, {}, ResultNotDeclared);
    Program.SetSource("var n: Integer; begin n := n + 1; Print(n); Nest; Print('outer ' + IntToStr(n)) end.");
    Output.clear();
    Program.Run();
    EXPECT_EQ(Output, "1\ninner\n1\ninner\nouter 1\nouter 1\n");
}

} // namespace
} // namespace kalmora::test
