#pragma once

// The script program object: it holds a source text and its own registry, compiles the source once per
// change (every name resolved to a slot or a registry entry before the first statement runs) and runs it.
//
// Name resolution order: the script's own names (locals, parameters, globals, its procedures and functions),
// the program's registry, the global registry, and last, at run time, the OnGetValue event.
//
// Errors: a script that does not compile raises EScriptError with line and column; so does an unresolved name
// or a wrong argument count. Exceptions raised by host functions or by the script (raise) leave Run as they
// were raised.

#include "InterpreterAdapter.h"
#include "Variant.h"
#include "runtime/Exceptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kalmora {

// A fault in the script itself: syntax, unknown name, wrong argument count, a limit reached. The message ends
// with " (line L, column C)".
class EScriptError : public Exception {
public:
    EScriptError(std::string message, int line, int column);
    std::string_view ClassName() const noexcept override { return "EScriptError"; }
    int Line() const noexcept { return FLine; }
    int Column() const noexcept { return FColumn; }

private:
    int FLine;
    int FColumn;
};

class TJvInterpreterProgram;

// Raised for an identifier that neither the script nor a registry resolves. On success the handler sets Value
// and Done; otherwise it leaves both, and the run fails with the identifier named. Args holds the call's
// arguments when the script wrote any.
using TJvInterpreterGetValue =
    std::function<void(TJvInterpreterProgram& sender, const std::string& identifier, Variant& value,
                       TJvInterpreterArgs& args, bool& done)>;

// Bounds that keep hostile scripts from hanging or crashing the host. 0 means unlimited for Steps.
struct TScriptLimits {
    // Statements and loop iterations executed in one run: a billion is some seconds of work, so an endless
    // loop ends with an error instead of holding the host forever.
    std::uint64_t MaxSteps = 1000000000;
    int MaxCallDepth = 2000;   // nested calls of script routines
    int MaxNestingDepth = 200; // nesting of expressions and statements in the source
    std::size_t MaxSourceBytes = 16u << 20;
    std::size_t MaxStringBytes = 256u << 20; // longest text a script operator builds; 0 means unlimited
    int MaxArrayElements = 1 << 20;          // largest set range or fixed array a script makes
};

class TScriptCode;

class TJvInterpreterProgram {
public:
    // Owner-based construction as the host's components expect; the owner is not used by the interpreter.
    explicit TJvInterpreterProgram(void* owner = nullptr);
    virtual ~TJvInterpreterProgram();
    TJvInterpreterProgram(const TJvInterpreterProgram&) = delete;
    TJvInterpreterProgram& operator=(const TJvInterpreterProgram&) = delete;

    void* Owner() const noexcept { return FOwner; }
    const std::string& Source() const noexcept { return FSource; }
    void SetSource(std::string source);

    // The program's own registry, searched before the global one.
    TJvInterpreterAdapter& Adapter() noexcept { return FAdapter; }

    TJvInterpreterGetValue OnGetValue;
    TScriptLimits Limits;

    // Compiles the source when needed and runs the main block. Re-entrant: a host function may start another
    // program's run. Raises EScriptError for faults of the script and passes on what the script raises.
    virtual void Run();

    // Compiles without running; EScriptError on a fault (tools use it for syntax checks).
    void Compile();

private:
    void* FOwner;
    std::string FSource;
    TJvInterpreterAdapter FAdapter;
    std::shared_ptr<TScriptCode> FCode; // shared with the runs that use it
    std::uint64_t FCompiledGlobalVersion = 0;
    std::uint64_t FCompiledOwnVersion = 0;
};

} // namespace kalmora
