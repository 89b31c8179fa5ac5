#pragma once

// The exception classes scripts see: Delphi's SysUtils tree (with a few of its Classes unit), extended by the
// classes the registries define. Handlers match a class and its descendants, whoever raised the exception:
// the script, the interpreter or a host function.

#include "runtime/Exceptions.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace kalmora {

class TJvInterpreterAdapter;

class EIntError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EIntError"; }
};

// Integer div or mod by zero.
class EDivByZero : public EIntError {
public:
    using EIntError::EIntError;
    std::string_view ClassName() const noexcept override { return "EDivByZero"; }
};

// An index outside the bounds of an array or a text, a Succ or Pred beyond its type.
class ERangeError : public EIntError {
public:
    using EIntError::EIntError;
    std::string_view ClassName() const noexcept override { return "ERangeError"; }
};

namespace script {

// The exception a script raises with raise EClass.Create(...) for a class without a C++ class of its own.
class EScriptRaised : public Exception {
public:
    EScriptRaised(std::string className, std::string message)
        : Exception(std::move(message)), FClassName(std::move(className)) {}
    std::string_view ClassName() const noexcept override { return FClassName; }

private:
    std::string FClassName;
};

// The class tree as one compiled script sees it: the built-in classes and those of both registries. Names are
// kept in lower case.
class TExceptionTree {
public:
    TExceptionTree(const TJvInterpreterAdapter* own, const TJvInterpreterAdapter* global);

    // True when the exception's class is handlerClass or one of its descendants. A class the tree does not
    // know by name counts as the nearest built-in class its C++ type derives from.
    bool Matches(const std::exception& error, const std::string& lowerHandlerClass) const;

    // Raises an exception of the class (spelled as declared when the tree knows it): its C++ class when it
    // has one, else EScriptRaised. A class the tree does not know is a class of its own below Exception.
    [[noreturn]] void Raise(const std::string& className, std::string message) const;

private:
    struct TClass {
        std::string Parent; // lower case; empty for Exception
        std::string Name;   // as declared
    };
    bool IsA(std::string lowerClass, const std::string& lowerAncestor) const;
    std::unordered_map<std::string, TClass> FClasses; // by lower-case name
};

} // namespace script
} // namespace kalmora
