#include "InterpreterProgram.h"

#include "ScriptCompiler.h"

namespace kalmora {

class TScriptCode {
public:
    std::unique_ptr<script::TCompiledScript> Script;
};

namespace {

const TJvInterpreterAdapter* ExistingGlobalRegistry() {
    // Compiling must not bring a registry back to life after the interpreter's shut-down freed it.
    return GlobalRegistryExists() ? &GlobalRegistry() : nullptr;
}

} // namespace

EScriptError::EScriptError(std::string message, int line, int column)
    : Exception(message + " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")"),
      FLine(line), FColumn(column) {}

TJvInterpreterProgram::TJvInterpreterProgram(void* owner) : FOwner(owner) {}
TJvInterpreterProgram::~TJvInterpreterProgram() = default;

void TJvInterpreterProgram::SetSource(std::string source) {
    FSource = std::move(source);
    FCode.reset();
}

void TJvInterpreterProgram::Compile() {
    const TJvInterpreterAdapter* global = ExistingGlobalRegistry();
    auto code = std::make_shared<TScriptCode>();
    code->Script = script::CompileScript(FSource, &FAdapter, global, Limits);
    FCode = std::move(code);
    FCompiledGlobalVersion = global ? global->Version() : 0;
    FCompiledOwnVersion = FAdapter.Version();
}

void TJvInterpreterProgram::Run() {
    const TJvInterpreterAdapter* global = ExistingGlobalRegistry();
    // Compiled code points into the registries, so any registration since compiling means compiling again.
    if (!FCode || FCompiledGlobalVersion != (global ? global->Version() : 0) ||
        FCompiledOwnVersion != FAdapter.Version())
        Compile();
    // The run keeps its code alive even when a host function changes the source meanwhile.
    std::shared_ptr<TScriptCode> code = FCode;
    const script::TCompiledScript& compiled = *code->Script;

    script::TRunContext ctx(this, Limits);
    std::vector<Variant> globals;
    globals.reserve(compiled.GlobalTypes.size());
    for (script::TTypeKind type : compiled.GlobalTypes)
        globals.push_back(script::DefaultOf(type));
    for (const auto& [slot, value] : compiled.GlobalInits)
        globals[static_cast<std::size_t>(slot)] = value;
    ctx.Globals = globals.data();
    std::vector<script::TFrame> display(static_cast<std::size_t>(compiled.MaxLevel) + 1);
    ctx.Display = display.data();
    compiled.Main->Exec(ctx);
}

} // namespace kalmora
