// Runs one script file with just the host functions the benchmark programs call: ShowMessage (to stdout),
// IntToStr and Length. Exit 1 and "ERRORCLASS: message" on stderr when the run fails.

#include "interpreter/InterpreterProgram.h"
#include "runtime/Exceptions.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    using namespace kalmora;
    if (argc != 2) {
        std::fprintf(stderr, "usage: script-bench-runner FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "EInOutError: cannot open %s\n", argv[1]);
        return 1;
    }
    std::stringstream source;
    source << in.rdbuf();
    TJvInterpreterProgram program;
    TJvInterpreterAdapter& registry = program.Adapter();
    registry.DefineFunction(
        "Dialogs", "ShowMessage",
        [](Variant&, TJvInterpreterArgs& args) { std::cout << args[0].AsString() << '\n'; }, 1, {}, 0);
    registry.DefineFunction(
        "SysUtils", "IntToStr",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(std::to_string(args[0].AsInteger()));
        },
        1, {}, 0);
    registry.DefineFunction(
        "System", "Length",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = Variant(args[0].IsArray() ? args[0].ArrayLength()
                                               : static_cast<int>(args[0].AsString().size()));
        },
        1, {}, 0);
    program.SetSource(source.str());
    try {
        program.Run();
    } catch (const std::exception& error) {
        std::cerr << ExceptionClassName(error) << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
