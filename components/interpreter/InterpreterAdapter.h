#pragma once

// The registry of host names a script can use: constants, functions, classes and their members. One
// process-wide registry (GlobalRegistry) holds the common vocabulary; each program object has one of its own
// that it searches first.

#include "InterpreterArgs.h"
#include "ScriptObject.h"
#include "Variant.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalmora {

// Fills Value, the call's result, from Args.
using THostFunction = std::function<void(Variant& value, TJvInterpreterArgs& args)>;

inline constexpr std::uint16_t ParamByValue = 0;
inline constexpr std::uint16_t ParamByRef = 0x4000;
inline constexpr std::uint16_t ResultNotDeclared = 0;

enum class TAdapterEntryKind { Constant, Function, Class, Member, ExceptionClass };

struct TAdapterEntry {
    TAdapterEntryKind Kind;
    std::string UnitName;   // empty for members
    std::string Identifier; // the script name; the type name for classes
    Variant Value;          // constants; the parent's name for exception classes
    THostFunction Function; // functions and members
    int ParamCount = 0;
    std::vector<std::uint16_t> ParamKinds; // missing entries are by value
    std::uint16_t ResultKind = ResultNotDeclared;
    TScriptClass Class; // classes and members

    bool IsByRef(int index) const noexcept {
        return index < static_cast<int>(ParamKinds.size()) &&
               (ParamKinds[static_cast<std::size_t>(index)] & ParamByRef) != 0;
    }
};

class TJvInterpreterAdapter {
public:
    void DefineConstant(std::string unitName, std::string identifier, Variant value);
    void DefineFunction(std::string unitName, std::string identifier, THostFunction function, int paramCount,
                        std::vector<std::uint16_t> paramKinds, std::uint16_t resultKind);
    void DefineClass(std::string unitName, TScriptClass hostClass, std::string typeName);
    void DefineMember(TScriptClass hostClass, std::string identifier, THostFunction function, int paramCount,
                      std::vector<std::uint16_t> paramKinds, std::uint16_t resultKind);
    // Places a host exception class (by the name its ClassName() reports) below parentName in the tree that
    // script handlers match against; "on E: Parent do" then takes it, and a script may raise it.
    void DefineExceptionClass(std::string unitName, std::string className, std::string parentName);

    // Every registration in the order it was made.
    const std::deque<TAdapterEntry>& Entries() const noexcept { return FEntries; }
    // The constant or function of that name (ASCII case folded); the later registration wins; none if absent.
    const TAdapterEntry* FindName(std::string_view identifier) const;
    // The members of that name on any class, in registration order (the caller picks by the object's class).
    std::vector<const TAdapterEntry*> FindMembers(std::string_view identifier) const;
    // The registered type name of obj's class (most derived registration wins); empty when unknown.
    std::string TypeNameOf(const TScriptObject* obj) const;
    // Bumped on every registration, so compiled programs know when to resolve again.
    std::uint64_t Version() const noexcept { return FVersion; }

private:
    // A deque keeps addresses stable: compiled programs hold pointers to entries.
    std::deque<TAdapterEntry> FEntries;
    std::uint64_t FVersion = 0;
};

// The process-wide registry, created on first use. Main thread only, like every script run.
TJvInterpreterAdapter& GlobalRegistry();
// True while the process-wide registry exists.
bool GlobalRegistryExists() noexcept;
// The interpreter unit's shut-down work: frees the process-wide registry with every registration in it.
// A later GlobalRegistry() creates a new, empty one.
void FinalizeInterpreter() noexcept;

} // namespace kalmora
