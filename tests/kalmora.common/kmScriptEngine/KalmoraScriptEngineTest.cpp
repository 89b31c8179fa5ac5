// The product engine: the four product names ahead of parameters, the texts for missing objects, and the
// order in which the engine lets go of its objects.

#include "kmScriptEngine/KalmoraScriptEngine.h"

#include "kmScriptEngine/ProductFunctions.h"
#include "kmScriptEngine/SampleObjects.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kalmora {
namespace {

// Resolves one identifier; done tells whether the engine answered.
struct TResolved {
    Variant Value;
    bool Done = false;
};

TResolved Resolve(TKalmoraScriptEngine& engine, const std::string& identifier) {
    TResolved resolved;
    TJvInterpreterArgs args;
    engine.ResolveIdentifier(engine, identifier, resolved.Value, args, resolved.Done);
    return resolved;
}

TEST(KalmoraScriptEngine, ProductNamesInAnyCaseBeatParamsOfTheSameName) {
    TKalmoraScriptEngine engine;
    engine.Params = {{"invoice", Variant("param")}, {"Kunde", Variant("k")}};
    engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice());
    std::ostringstream out;
    engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(NewSampleReport(out));
    for (const std::string spelling : {"invoice", "Invoice", "INVOICE", "inVoIce"}) {
        TResolved r = Resolve(engine, spelling);
        ASSERT_TRUE(r.Done) << spelling;
        EXPECT_EQ(r.Value.AsObject(), engine.InvoiceWrapper.get()) << spelling;
    }
    EXPECT_EQ(Resolve(engine, "REPORT").Value.AsObject(), engine.ReportWrapper.get());
    EXPECT_EQ(Resolve(engine, "kunde").Value.AsString(), "k");
    EXPECT_FALSE(Resolve(engine, "invoices").Done);
}

TEST(KalmoraScriptEngine, EachMissingProductObjectHasItsOwnText) {
    TKalmoraScriptEngine engine;
    // A parameter of the same name does not stand in for the missing object.
    engine.Params = {{"payment", Variant("param")}};
    const std::pair<const char*, const char*> cases[] = {{"Invoice", "Invoice is not available"},
                                                         {"PAYMENT", "Payment is not available"},
                                                         {"report", "Report is not available"},
                                                         {"Fiscalization", "Fiscalization is not available"}};
    for (const auto& [name, text] : cases) {
        try {
            Resolve(engine, name);
            ADD_FAILURE() << name << " resolved";
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), "Exception") << name;
            EXPECT_EQ(e.Message(), text) << name;
        }
    }
}

TEST(KalmoraScriptEngine, AScriptNamingAMissingPaymentEndsWithThatError) {
    TKalmoraScriptEngine engine;
    RegisterProductFunctions(engine.Adapter());
    engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice());
    engine.SetSource("var n: string; begin n := invoice.Number; n := payment.Date end.");
    try {
        engine.Run();
        FAIL() << "the run ended normally";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Payment is not available");
    }
    EXPECT_EQ(TManagedInterfaceWrapper::InstanceListDepth(), 0);
}

// Records its name when the last reference to it goes.
struct TLogged : public TlmInterfacedObject {
    TLogged(std::string name, std::vector<std::string>& log) : FName(std::move(name)), FLog(log) {}
    ~TLogged() override { FLog.push_back(FName); }
    std::string FName;
    std::vector<std::string>& FLog;
};

TEST(KalmoraScriptEngine, DestructionFreesReportInvoicePaymentFiscalizationInThatOrder) {
    std::vector<std::string> log;
    {
        TKalmoraScriptEngine engine;
        engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(Make<TLogged>("invoice", log));
        engine.FiscalizationWrapper =
            std::make_unique<TIFiscalizationWrapper>(Make<TLogged>("fiscalization", log));
        engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(Make<TLogged>("payment", log));
        engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(Make<TLogged>("report", log));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"report", "invoice", "payment", "fiscalization"}));
}

TEST(KalmoraScriptEngine, UnwrappingChecksTheWrapperClassAndTheIdentity) {
    EXPECT_FALSE(TKalmoraScriptEngine::AsRechnung(nullptr));
    TIRechnungWrapper invoice(NewSampleInvoice());
    EXPECT_TRUE(TKalmoraScriptEngine::AsRechnung(&invoice));
    EXPECT_THROW(TKalmoraScriptEngine::AsZahlungseingang(&invoice), EInvalidCast);
    // The fiscalisation's text keeps the product's spelling.
    TIFiscalizationWrapper notFiscal(NewSampleInvoice());
    try {
        TKalmoraScriptEngine::AsFiscalization(&notFiscal);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "EInternalError");
        EXPECT_EQ(e.Message(), "Interface IFiscaliziation is not available");
    }
}

} // namespace
} // namespace kalmora
