#pragma once

// The product's script program: besides named parameters it answers the names "invoice", "payment",
// "report" and "fiscalization" with the product objects the host gave it. It owns those wrappers.

#include "ProductWrappers.h"
#include "lmScriptEngine/lmScriptEngine.h"

#include <memory>

namespace kalmora {

class TKalmoraScriptEngine : public TlmScriptEngine {
public:
    using TlmScriptEngine::TlmScriptEngine;
    ~TKalmoraScriptEngine() override;

    // Each may be none; a script naming a missing one fails with "<Object> is not available".
    std::unique_ptr<TIRechnungWrapper> InvoiceWrapper;
    std::unique_ptr<TIFiscalizationWrapper> FiscalizationWrapper;
    std::unique_ptr<TIZahlungseingangWrapper> PaymentWrapper;
    std::unique_ptr<TIStandardReportsWrapper> ReportWrapper;

    // The four product names (any letter case) before the named parameters; a parameter called "invoice"
    // is never seen.
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
