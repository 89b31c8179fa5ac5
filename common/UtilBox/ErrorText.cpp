#include "ErrorText.h"

#include "TextHelpers.h"
#include "Translation.h"
#include "lmException.h"

namespace kalmora {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

// One line: a sentence that ends a line keeps its full stop, each line break becomes "; ".
std::string PrepareDetail(std::string_view detail) {
    std::string text = Trim(detail);
    ReplaceAll(text, ".\r\n", ".; ");
    ReplaceAll(text, "\r\n", "; ");
    // Texts from this platform break lines with LF alone.
    ReplaceAll(text, ".\n", ".; ");
    ReplaceAll(text, "\n", "; ");
    return text;
}

} // namespace

bool ContainsText(std::string_view text, std::string_view sub) {
    return LowerCaseAscii(text).find(LowerCaseAscii(sub)) != std::string::npos;
}

std::string ComposeErrorText(std::string_view mainText, std::string_view leadText, std::string_view detail,
                             bool forceDetail) {
    const std::string emptyLine = std::string(CrLf) + std::string(CrLf);
    std::string result = JoinNonEmpty(leadText, mainText, emptyLine);
    bool addDetail = !detail.empty() && (mainText.empty() || forceDetail) &&
                     !ContainsText(leadText, detail) && !ContainsText(mainText, detail);
    if (!addDetail)
        return result;
    if (result.empty())
        return std::string(detail);
    return result + emptyLine + Translate("Fehlermeldung:") + std::string(CrLf) + "[" +
           PrepareDetail(detail) + "]";
}

std::optional<TErrorReport> ReportTextFor(const std::exception& e, const std::string& context,
                                          bool showDetails) {
    if (dynamic_cast<const EMathError*>(&e))
        return TErrorReport{
            Translate(
                "Die Eingabe ist nicht korrekt. Bitte prüfen Sie, dass Sie eine gültige Zahl eingegeben "
                "haben."),
            context};
    if (dynamic_cast<const EConvertError*>(&e))
        return TErrorReport{Translate("Diese Eingabe ist für das aktuelle Feld nicht erlaubt."), context};
    if (auto* own = dynamic_cast<const ElmException*>(&e); own && !own->UserText.empty()) {
        std::string message = own->BuildDisplayText(context, showDetails);
        if (!message.empty())
            return TErrorReport{std::move(message), {}};
    }
    return std::nullopt;
}

std::string EscapedMessageText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

} // namespace kalmora
