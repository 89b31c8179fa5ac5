#include "Exceptions.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

namespace kalmora {

Exception::Exception(std::string message, int helpContext)
    : FMessage(std::move(message)), FHelpContext(helpContext) {}

EAssertionFailed::EAssertionFailed(std::string_view text, std::string_view unit, int line)
    : Exception(std::string(text.empty() ? AssertionDefaultText : text) + " (" + std::string(unit) +
                ", Zeile " + std::to_string(line) + ")") {}

EInOutError EInOutError::FromErrno(std::string_view what, std::string_view path, int errorCode) {
    std::string message(what);
    if (!path.empty())
        message += " \"" + std::string(path) + "\"";
    if (errorCode != 0)
        message += ": " + std::string(std::strerror(errorCode));
    return EInOutError(std::move(message), errorCode);
}

std::string_view ExceptionClassName(const std::exception& e) noexcept {
    if (auto* own = dynamic_cast<const Exception*>(&e))
        return own->ClassName();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "EOutOfMemory";
    if (dynamic_cast<const std::system_error*>(&e))
        return "EOSError";
    return "Exception";
}

CaughtError DescribeException(const std::exception_ptr& error) {
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return {std::string(ExceptionClassName(e)), e.what()};
    } catch (...) {
        // Not derived from std::exception: there is no text to report beyond this one.
        return {"Exception", "unknown exception"};
    }
}

bool IsAbort(const std::exception_ptr& error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return true;
    } catch (...) {
        return false; // the caller holds the pointer and reports it; here it is only classified
    }
}

} // namespace kalmora
