#pragma once

// Runs real scripts against a program whose own registry holds a small test vocabulary: Print collects
// output lines, IntToStr and Fail stand in for the host functions scripts normally get.

#include "interpreter/InterpreterProgram.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <string>

namespace kalmora::test {

class ScriptFixture : public ::testing::Test {
protected:
    ScriptFixture() {
        TJvInterpreterAdapter& own = Program.Adapter();
        own.DefineFunction(
            "Test", "Print",
            [this](Variant&, TJvInterpreterArgs& args) { Output += args[0].AsString() + "\n"; }, 1, {},
            ResultNotDeclared);
        own.DefineFunction(
            "Test", "IntToStr",
            [](Variant& result, TJvInterpreterArgs& args) {
                result = Variant(std::to_string(args[0].AsInteger()));
            },
            1, {}, ResultNotDeclared);
        own.DefineFunction(
            "Test", "Fail",
            [](Variant&, TJvInterpreterArgs& args) { throw EConvertError(args[0].AsString()); }, 1, {},
            ResultNotDeclared);
    }

    // The output of the script's Print calls.
    std::string Run(const std::string& source) {
        Output.clear();
        Program.SetSource(source);
        Program.Run();
        return Output;
    }

    // The EScriptError the script ends with; fails the test when it ends otherwise.
    EScriptError RunFailing(const std::string& source) {
        try {
            Run(source);
        } catch (const EScriptError& error) {
            return error;
        }
        ADD_FAILURE() << "no EScriptError from:\n" << source;
        return EScriptError("none", 0, 0);
    }

    TJvInterpreterProgram Program;
    std::string Output;
};

} // namespace kalmora::test
