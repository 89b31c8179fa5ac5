#pragma once

// The error box and the reporter that puts known exception kinds into words. Main thread only.

#include <exception>
#include <string>

namespace kalmora {

// A modal box with the error icon, caption "Fehler" and one "OK" button: the context, an empty line, the
// text, and the detail only when there is no text. Timer ticks and escaping exceptions are swallowed while it
// is open.
void ShowErrorMessage(const std::string& text, const std::string& context, const std::string& detail);

// Shows floating-point faults, conversion errors and ElmException with a user text; true when it showed
// something, false (and nothing shown) for every other kind.
bool ReportException(const std::exception& e, const std::string& context, bool showDetails);

// ReportException, and where that declines, the exception's own message in the error box.
void ReportOrShowException(const std::exception_ptr& error);

} // namespace kalmora
