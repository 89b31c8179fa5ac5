#include "lmException.h"

#include "ErrorText.h"
#include "TextHelpers.h"

namespace kalmora {

ElmException::ElmException(const std::exception* source, std::string context, std::int32_t code) {
    if (source) {
        TlmError info;
        GetErrorInfo(*source, info);
        OriginalMessage = info.Message;
        ErrorNumber = info.Number;
        ErrorCode = info.Code;
        NoErrorCode = info.Code == 0;
        if (auto* wrapped = dynamic_cast<const ElmException*>(source)) {
            SourceClassName = wrapped->SourceClassName;
            UserText = wrapped->UserText;
        } else {
            SourceClassName = std::string(ExceptionClassName(*source));
        }
    }
    Context = std::move(context);
    ApplyCode(code);
}

ElmException::ElmException(std::int32_t code, std::string message, std::string context, std::int32_t number) {
    OriginalMessage = std::move(message);
    ErrorNumber = number;
    Context = std::move(context);
    ApplyCode(code);
}

ElmException::ElmException(std::string message, std::string context)
    : ElmException(0, std::move(message), std::move(context), 0) {}

void ElmException::ApplyCode(std::int32_t code) {
    if (code != 0)
        ErrorCode = code;
    if (std::string text = CodeToUserText(ErrorCode); !text.empty())
        UserText = std::move(text);
    SetMessage({});
    SetMessage(BuildMessage());
}

std::string ElmException::CodeToUserText(std::int32_t) const {
    return {};
}

void ElmException::GetErrorInfo(const std::exception& source, TlmError& info) const {
    if (auto* own = dynamic_cast<const ElmException*>(&source)) {
        info.Message = own->OriginalMessage.empty() ? own->Message() : own->OriginalMessage;
        info.Number = own->ErrorNumber;
        info.Code = own->ErrorCode;
        return;
    }
    info.Message = source.what();
    info.Number = 0;
    info.Code = 0;
}

std::string ElmException::BuildMessage() const {
    std::string suffix = ErrorNumber != 0 ? " (" + std::to_string(ErrorNumber) + ")" : std::string();
    auto withSuffix = [&suffix](const std::string& text) {
        if (suffix.empty() || (text.size() >= suffix.size() && text.ends_with(suffix)))
            return text;
        return text + suffix;
    };
    if (!UserText.empty())
        return UserText;
    for (const std::string* text : {&Message(), &OriginalMessage, &Context})
        if (!text->empty())
            return withSuffix(*text);
    return "Error code " + std::to_string(ErrorNumber != 0 ? ErrorNumber : ErrorCode);
}

std::string ElmException::BuildDisplayText(const std::string& context, bool showDetails) const {
    std::string lead = Context;
    if (!ContainsText(lead, context))
        lead = JoinNonEmpty(context, Context, CrLf);
    std::string message = BuildMessage();
    if (!NoErrorCode && !showDetails)
        return ComposeErrorText(UserText, lead, message, false);
    std::string detail = OriginalMessage;
    if (detail.empty() && ErrorNumber != 0)
        detail = message;
    return ComposeErrorText(UserText, lead, detail, true);
}

} // namespace kalmora
