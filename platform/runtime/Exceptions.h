#pragma once

// The standard exception classes every layer raises. Each class reports the name the rest of the system
// uses for it through ClassName(), because error texts and the tools' "ERRORCLASS: message" lines show it.

#include <exception>
#include <string>
#include <string_view>

namespace kalmora {

class Exception : public std::exception {
public:
    explicit Exception(std::string message = {}, int helpContext = 0);

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    int HelpContext() const noexcept { return FHelpContext; }
    void SetHelpContext(int helpContext) noexcept { FHelpContext = helpContext; }

    virtual std::string_view ClassName() const noexcept { return "Exception"; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
    int FHelpContext = 0;
};

// The silent exception: it ends what is running without anything being shown to the user.
class EAbort : public Exception {
public:
    explicit EAbort(std::string message = "Operation aborted") : Exception(std::move(message)) {}
    std::string_view ClassName() const noexcept override { return "EAbort"; }
};

inline constexpr std::string_view AssertionDefaultText = "Assertion fehlges";

class EAssertionFailed : public Exception {
public:
    // Message: "<text> (<unit>, Zeile <line>)".
    EAssertionFailed(std::string_view text, std::string_view unit, int line);
    std::string_view ClassName() const noexcept override { return "EAssertionFailed"; }
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EConvertError"; }
};

class EMathError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EMathError"; }
};

class EZeroDivide : public EMathError {
public:
    using EMathError::EMathError;
    std::string_view ClassName() const noexcept override { return "EZeroDivide"; }
};

class EInvalidOp : public EMathError {
public:
    using EMathError::EMathError;
    std::string_view ClassName() const noexcept override { return "EInvalidOp"; }
};

class EOverflow : public EMathError {
public:
    using EMathError::EMathError;
    std::string_view ClassName() const noexcept override { return "EOverflow"; }
};

// A failed file system operation. ErrorCode is the errno value behind it (0 when there is none).
class EInOutError : public Exception {
public:
    explicit EInOutError(std::string message, int errorCode = 0)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    // Message built from the operation, the path and strerror(errorCode).
    static EInOutError FromErrno(std::string_view what, std::string_view path, int errorCode);
    std::string_view ClassName() const noexcept override { return "EInOutError"; }
    int ErrorCode = 0;
};

class EInvalidCast : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EInvalidCast"; }
};

class EInvalidPointer : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EInvalidPointer"; }
};

// The class name of any exception object: ours report their own, others the standard library's name.
std::string_view ExceptionClassName(const std::exception& e) noexcept;

// Message and class name of whatever an exception_ptr holds (for reports at thread and tool boundaries).
struct CaughtError {
    std::string className;
    std::string message;
};
CaughtError DescribeException(const std::exception_ptr& error);
// True when the pointer holds an EAbort (or a subclass): the silent end of what was running.
bool IsAbort(const std::exception_ptr& error);

// Internal consistency check. The unit is the system's unit name (e.g. "UtilBox"), not a file name; the line
// is the caller's (through a builtin, since clang 14 with this libstdc++ has no std::source_location).
inline void Assert(bool condition, std::string_view unit, std::string_view text = AssertionDefaultText,
                   int line = __builtin_LINE()) {
    if (!condition)
        throw EAssertionFailed(text, unit, line);
}

} // namespace kalmora
