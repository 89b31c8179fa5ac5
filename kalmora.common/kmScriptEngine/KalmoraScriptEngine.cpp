#include "KalmoraScriptEngine.h"

#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

// The wrapper as a script value: the engine keeps ownership, the script only refers to it.
void Answer(TObject* wrapper, std::string_view missingText, Variant& value, bool& done) {
    if (!wrapper)
        throw Exception(std::string(missingText));
    value = Variant::FromObject(wrapper);
    done = true;
}

} // namespace

TKalmoraScriptEngine::~TKalmoraScriptEngine() {
    // The product's order: the report first, the fiscalisation last.
    ReportWrapper.reset();
    InvoiceWrapper.reset();
    PaymentWrapper.reset();
    FiscalizationWrapper.reset();
}

void TKalmoraScriptEngine::ResolveIdentifier(TJvInterpreterProgram& sender, const std::string& identifier,
                                             Variant& value, TJvInterpreterArgs& args, bool& done) {
    const std::string name = LowerCaseAscii(identifier);
    if (name == "invoice")
        Answer(InvoiceWrapper.get(), "Invoice is not available", value, done);
    else if (name == "payment")
        Answer(PaymentWrapper.get(), "Payment is not available", value, done);
    else if (name == "report")
        Answer(ReportWrapper.get(), "Report is not available", value, done);
    else if (name == "fiscalization")
        Answer(FiscalizationWrapper.get(), "Fiscalization is not available", value, done);
    else
        TlmScriptEngine::ResolveIdentifier(sender, identifier, value, args, done);
}

} // namespace kalmora
