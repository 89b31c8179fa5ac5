#pragma once

// The error classes for errors shown to users. An ElmException keeps what it wraps (message, native error
// number, the system's own code, the class of the first error in a chain) apart from the text meant for the
// user, so that a report can show the user text and add the technical detail only where it helps.

#include "runtime/Exceptions.h"

#include <cstdint>
#include <exception>
#include <string>

namespace kalmora {

// Carries an error from one exception to the next.
struct TlmError {
    std::int32_t Code = 0;
    std::string Message;
    std::int32_t Number = 0;
};

class ElmException : public Exception {
public:
    // Wraps `source` (may be null): its message, number and code; `code` other than 0 replaces the code.
    ElmException(const std::exception* source, std::string context, std::int32_t code);
    ElmException(std::int32_t code, std::string message, std::string context, std::int32_t number);
    ElmException(std::string message, std::string context);

    std::string_view ClassName() const noexcept override { return "ElmException"; }

    // The user's text for one of the system's codes; empty when the class knows none.
    virtual std::string CodeToUserText(std::int32_t code) const;
    virtual void GetErrorInfo(const std::exception& source, TlmError& info) const;
    // UserText alone; else the first non-empty of Message, OriginalMessage and Context with " (number)"
    // appended once; else "Error code " and the number or the code.
    virtual std::string BuildMessage() const;

    // The text of an error box: the caller's context before the exception's own, then the user text, with
    // the technical detail where there is no user text, where the source had no code, or when asked for.
    std::string BuildDisplayText(const std::string& context, bool showDetails) const;

    std::string OriginalMessage;
    std::string SourceClassName;
    std::int32_t ErrorNumber = 0;
    std::string UserText;
    std::int32_t ErrorCode = 0;
    std::string Context;
    bool NoErrorCode = false;

protected:
    // Descendants that map codes call this at the end of their constructor: a C++ base constructor cannot
    // reach their CodeToUserText.
    void ApplyCode(std::int32_t code);
};

class EDataError : public ElmException {
public:
    using ElmException::ElmException;
    std::string_view ClassName() const noexcept override { return "EDataError"; }
};

} // namespace kalmora
