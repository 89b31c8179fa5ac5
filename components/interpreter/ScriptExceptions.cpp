#include "ScriptExceptions.h"

#include "InterpreterAdapter.h"
#include "InterpreterProgram.h"
#include "ScriptLexer.h"

#include <array>
#include <new>

namespace kalmora::script {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return lower;
}

template <class E> [[noreturn]] void Throw(std::string message) {
    throw E(std::move(message));
}

struct TBuiltinClass {
    std::string_view Name;
    std::string_view Parent;
    void (*Raise)(std::string message); // none: raised as EScriptRaised under its name
};

// Delphi's tree; the classes with a C++ counterpart are raised as that, so that hosts see what they expect
// (an EAbort from a script is still the silent abort).
constexpr std::array<TBuiltinClass, 36> Builtins{{
    {"Exception", "", Throw<Exception>},
    {"EAbort", "Exception", Throw<EAbort>},
    {"EConvertError", "Exception", Throw<EConvertError>},
    {"EInvalidCast", "Exception", Throw<EInvalidCast>},
    {"EVariantError", "Exception", nullptr},
    {"EAssertionFailed", "Exception", nullptr},
    {"EInOutError", "Exception", Throw<EInOutError>},
    {"EOSError", "Exception", nullptr},
    {"EAbstractError", "Exception", nullptr},
    {"EIntfCastError", "Exception", nullptr},
    {"ENotSupportedException", "Exception", nullptr},
    {"EArgumentException", "Exception", nullptr},
    {"EArgumentOutOfRangeException", "EArgumentException", nullptr},
    {"EHeapException", "Exception", nullptr},
    {"EOutOfMemory", "EHeapException", nullptr},
    {"EInvalidPointer", "EHeapException", Throw<EInvalidPointer>},
    {"EExternal", "Exception", nullptr},
    {"EAccessViolation", "EExternal", nullptr},
    {"EStackOverflow", "EExternal", nullptr},
    {"EIntError", "EExternal", Throw<EIntError>},
    {"EDivByZero", "EIntError", Throw<EDivByZero>},
    {"ERangeError", "EIntError", Throw<ERangeError>},
    {"EIntOverflow", "EIntError", nullptr},
    {"EMathError", "EExternal", Throw<EMathError>},
    {"EInvalidOp", "EMathError", Throw<EInvalidOp>},
    {"EZeroDivide", "EMathError", Throw<EZeroDivide>},
    {"EOverflow", "EMathError", Throw<EOverflow>},
    {"EUnderflow", "EMathError", nullptr},
    {"EStreamError", "Exception", nullptr},
    {"EFileStreamError", "EStreamError", nullptr},
    {"EFCreateError", "EFileStreamError", nullptr},
    {"EFOpenError", "EFileStreamError", nullptr},
    {"EListError", "Exception", nullptr},
    {"EStringListError", "Exception", nullptr},
    {"EScriptError", "Exception", nullptr},
    {"EInvalidOperation", "Exception", nullptr},
}};

// For exceptions whose class name the tree does not know: the nearest class their C++ type derives from,
// most derived first.
std::string_view NearestBuiltin(const std::exception& error) {
    if (dynamic_cast<const EZeroDivide*>(&error))
        return "EZeroDivide";
    if (dynamic_cast<const EInvalidOp*>(&error))
        return "EInvalidOp";
    if (dynamic_cast<const EOverflow*>(&error))
        return "EOverflow";
    if (dynamic_cast<const EMathError*>(&error))
        return "EMathError";
    if (dynamic_cast<const EDivByZero*>(&error))
        return "EDivByZero";
    if (dynamic_cast<const ERangeError*>(&error))
        return "ERangeError";
    if (dynamic_cast<const EIntError*>(&error))
        return "EIntError";
    if (dynamic_cast<const EConvertError*>(&error))
        return "EConvertError";
    if (dynamic_cast<const EInvalidCast*>(&error))
        return "EInvalidCast";
    if (dynamic_cast<const EInvalidPointer*>(&error))
        return "EInvalidPointer";
    if (dynamic_cast<const EInOutError*>(&error))
        return "EInOutError";
    if (dynamic_cast<const EAbort*>(&error))
        return "EAbort";
    if (dynamic_cast<const EAssertionFailed*>(&error))
        return "EAssertionFailed";
    if (dynamic_cast<const EScriptError*>(&error))
        return "EScriptError";
    return "Exception";
}

} // namespace

TExceptionTree::TExceptionTree(const TJvInterpreterAdapter* own, const TJvInterpreterAdapter* global) {
    for (const TBuiltinClass& builtin : Builtins)
        FClasses.emplace(Lower(builtin.Name), TClass{Lower(builtin.Parent), std::string(builtin.Name)});
    // The program's registry is searched first, so its definitions win over the global one's.
    for (const TJvInterpreterAdapter* registry : {global, own}) {
        if (!registry)
            continue;
        for (const TAdapterEntry& entry : registry->Entries())
            if (entry.Kind == TAdapterEntryKind::ExceptionClass &&
                !LowerAsciiEquals(entry.Identifier, "exception"))
                FClasses[Lower(entry.Identifier)] =
                    TClass{Lower(entry.Value.StringValue()), entry.Identifier};
    }
}

bool TExceptionTree::IsA(std::string lowerClass, const std::string& lowerAncestor) const {
    // A registry may define a cycle; the walk gives up after more steps than the tree has classes.
    for (std::size_t steps = 0; steps <= FClasses.size(); ++steps) {
        if (lowerClass == lowerAncestor)
            return true;
        auto it = FClasses.find(lowerClass);
        if (it == FClasses.end())
            return lowerAncestor == "exception"; // a class of its own below Exception
        if (it->second.Parent.empty())
            return false;
        lowerClass = it->second.Parent;
    }
    return false;
}

bool TExceptionTree::Matches(const std::exception& error, const std::string& lowerHandlerClass) const {
    if (lowerHandlerClass == "exception")
        return true;
    std::string name = Lower(ExceptionClassName(error));
    if (!FClasses.count(name) && dynamic_cast<const Exception*>(&error) &&
        !dynamic_cast<const EScriptRaised*>(&error))
        name = Lower(NearestBuiltin(error));
    return IsA(std::move(name), lowerHandlerClass);
}

void TExceptionTree::Raise(const std::string& className, std::string message) const {
    auto known = FClasses.find(Lower(className));
    if (known == FClasses.end())
        throw EScriptRaised(className, std::move(message));
    for (const TBuiltinClass& builtin : Builtins)
        if (builtin.Raise && builtin.Name == known->second.Name)
            builtin.Raise(std::move(message));
    throw EScriptRaised(known->second.Name, std::move(message));
}

} // namespace kalmora::script
