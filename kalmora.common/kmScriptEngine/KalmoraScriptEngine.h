#pragma once

// The product's script engine: the four product objects a script names as "invoice", "payment", "report" and
// "fiscalization", ahead of any named parameter of the same name. The engine owns the wrappers it is given.

#include "kmScriptEngine/ProductWrappers.h"
#include "lmScriptEngine/lmScriptEngine.h"

#include <memory>

namespace kalmora {

class TKalmoraScriptEngine : public TlmScriptEngine {
public:
    using TlmScriptEngine::TlmScriptEngine;
    ~TKalmoraScriptEngine() override;

    std::unique_ptr<TIRechnungWrapper> InvoiceWrapper;
    std::unique_ptr<TIFiscalizationWrapper> FiscalizationWrapper;
    std::unique_ptr<TIZahlungseingangWrapper> PaymentWrapper;
    std::unique_ptr<TIStandardReportsWrapper> ReportWrapper;

    // A product name whose object the engine does not have raises Exception "... is not available".
    void ResolveIdentifier(TJvInterpreterProgram& sender, const std::string& identifier, Variant& value,
                           TJvInterpreterArgs& args, bool& done) override;

    static TIntfRef<IStandardReports> AsStandardReports(TObject* object) {
        return kalmora::AsStandardReports(object);
    }
    static TIntfRef<IRechnung> AsRechnung(TObject* object) { return kalmora::AsRechnung(object); }
    static TIntfRef<IZahlungseingang> AsZahlungseingang(TObject* object) {
        return kalmora::AsZahlungseingang(object);
    }
    static TIntfRef<IFiscalization> AsFiscalization(TObject* object) {
        return kalmora::AsFiscalization(object);
    }
};

} // namespace kalmora
