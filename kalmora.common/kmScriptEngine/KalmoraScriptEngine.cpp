#include "KalmoraScriptEngine.h"

#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

// The engine keeps ownership: the script's value only refers to the wrapper.
template <class TWrapper>
void Answer(const std::unique_ptr<TWrapper>& wrapper, const char* missingText, Variant& value, bool& done) {
    if (!wrapper)
        throw Exception(missingText);
    value = Variant::FromObject(wrapper.get());
    done = true;
}

} // namespace

TKalmoraScriptEngine::~TKalmoraScriptEngine() {
    ReportWrapper.reset();
    InvoiceWrapper.reset();
    PaymentWrapper.reset();
    FiscalizationWrapper.reset();
}

void TKalmoraScriptEngine::ResolveIdentifier(TJvInterpreterProgram& sender, const std::string& identifier,
                                             Variant& value, TJvInterpreterArgs& args, bool& done) {
    const std::string name = LowerCaseAscii(identifier);
    if (name == "invoice")
        Answer(InvoiceWrapper, "Invoice is not available", value, done);
    else if (name == "payment")
        Answer(PaymentWrapper, "Payment is not available", value, done);
    else if (name == "report")
        Answer(ReportWrapper, "Report is not available", value, done);
    else if (name == "fiscalization")
        Answer(FiscalizationWrapper, "Fiscalization is not available", value, done);
    else
        TlmScriptEngine::ResolveIdentifier(sender, identifier, value, args, done);
}

} // namespace kalmora
