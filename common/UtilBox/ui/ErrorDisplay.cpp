#include "ErrorDisplay.h"

#include "FatalErrorAppEvents.h"
#include "MessageBox.h"
#include "UtilBox/ErrorText.h"
#include "UtilBox/Translation.h"
#include "runtime/Exceptions.h"

namespace kalmora {

void ShowErrorMessage(const std::string& text, const std::string& context, const std::string& detail) {
    TFatalErrorAppEvents quiet;
    ShowMessageBox({TMessageIcon::Error, Translate("Fehler"), ComposeErrorText(text, context, detail, false),
                    TMessageButtons::Ok});
}

bool ReportException(const std::exception& e, const std::string& context, bool showDetails) {
    auto report = ReportTextFor(e, context, showDetails);
    if (!report)
        return false;
    ShowErrorMessage(report->Message, report->Context, "");
    return true;
}

void ReportOrShowException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        if (!ReportException(e, "", false))
            ShowErrorMessage(e.what(), "", "");
    } catch (...) {
        ShowErrorMessage(DescribeException(error).message, "", "");
    }
}

} // namespace kalmora
