#pragma once

// Error texts for the user, and which exceptions the reporter knows how to put into words.

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace kalmora {

inline constexpr std::string_view CrLf = "\r\n";

// True when `sub` occurs in `text`, ASCII letters compared without regard to case; an empty `sub` occurs
// everywhere.
bool ContainsText(std::string_view text, std::string_view sub);

// Lead text and main text with an empty line between them; the detail only when there is no main text (or
// forceDetail) and neither text contains it already, alone when nothing else is there, otherwise in a
// "Fehlermeldung:" block on one line in brackets.
std::string ComposeErrorText(std::string_view mainText, std::string_view leadText, std::string_view detail,
                             bool forceDetail);

// What ReportException shows for `e`: the message and the context to show it with; nothing for the kinds
// it declines (everything but floating-point faults, conversion errors and ElmException with a user text).
struct TErrorReport {
    std::string Message;
    std::string Context;
};
std::optional<TErrorReport> ReportTextFor(const std::exception& e, const std::string& context,
                                          bool showDetails);

// The default display's text of a message that escaped every handler: "." appended when the last character
// sorts after ".".
std::string EscapedMessageText(std::string_view message);

} // namespace kalmora
