#pragma once

// One fuzz input run as a script: a program with tight limits and a small host vocabulary (functions with
// by-value and by-reference parameters, an object with members, OnGetValue). Shared by script-fuzz and the
// seed regression test. Ends normally or with kalmora::Exception; anything else is a fault.

#include "interpreter/InterpreterProgram.h"
#include "runtime/Exceptions.h"

#include <string>
#include <string_view>

namespace kalmora::fuzz {

class TFuzzObject : public TScriptObject {
public:
    int Counter = 0;
};

inline void RunScriptInput(std::string_view source) {
    static TFuzzObject object;
    TJvInterpreterProgram program;
    program.Limits.MaxSteps = 20000;
    program.Limits.MaxCallDepth = 200;
    program.Limits.MaxStringBytes = 1 << 16;
    program.Limits.MaxArrayElements = 4096;
    TJvInterpreterAdapter& registry = program.Adapter();
    registry.DefineFunction(
        "Test", "IntToStr",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(std::to_string(args[0].AsInteger()));
        },
        1, {}, ResultNotDeclared);
    registry.DefineFunction(
        "Test", "Length",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(args[0].IsArray() ? args[0].ArrayLength()
                                               : static_cast<int>(args[0].AsString().size()));
        },
        1, {}, ResultNotDeclared);
    registry.DefineFunction(
        "Test", "ShowMessage", [](Variant&, TJvInterpreterArgs& args) { (void)args[0].AsString(); }, 1, {},
        ResultNotDeclared);
    registry.DefineFunction(
        "Test", "Append",
        [](Variant& result, TJvInterpreterArgs& args) {
            std::string text = args[0].AsString();
            for (const Variant& item : args.FormatArgs(1))
                if (text.size() < 4096 && !item.IsArray() && !item.IsObject())
                    text += item.AsString().substr(0, 64);
            args[0] = Variant(text);
            result = Variant(static_cast<int>(text.size()));
        },
        2, {ParamByRef}, ResultNotDeclared);
    registry.DefineFunction(
        "Test", "Fail", [](Variant&, TJvInterpreterArgs& args) { throw EConvertError(args[0].AsString()); },
        1, {}, ResultNotDeclared);
    registry.DefineConstant("Test", "Obj", Variant::FromObject(&object));
    registry.DefineConstant("Test", "mbYes", Variant(0));
    registry.DefineClass("Test", TScriptClass::Of<TFuzzObject>(), "IFuzz");
    registry.DefineMember(
        TScriptClass::Of<TFuzzObject>(), "Next",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(++static_cast<TFuzzObject*>(args.Obj())->Counter);
        },
        0, {}, ResultNotDeclared);
    registry.DefineMember(
        TScriptClass::Of<TFuzzObject>(), "Add",
        [](Variant& result, TJvInterpreterArgs& args) { result = Variant(args[0].AsDouble() + 1); }, 1, {},
        ResultNotDeclared);
    program.OnGetValue = [](TJvInterpreterProgram&, const std::string& name, Variant& value,
                            TJvInterpreterArgs& args, bool& done) {
        if (name.size() == 5 && (name[0] == 'p' || name[0] == 'P')) {
            value = Variant(name + std::to_string(args.Count()));
            done = true;
        }
    };
    program.SetSource(std::string(source));
    program.Run();
}

} // namespace kalmora::fuzz
