// The product engine: its four names before the named parameters, the texts for missing objects, and the
// order in which it frees the objects it owns.

#include "ProductScriptTest.h"
#include "UtilBox/InternalError.h"
#include "runtime/Exceptions.h"

#include <vector>

namespace kalmora::test {
namespace {

using KalmoraEngine = ProductScript;

Variant Resolve(TKalmoraScriptEngine& engine, const std::string& name, bool& done) {
    Variant value("untouched");
    TJvInterpreterArgs args;
    done = false;
    engine.ResolveIdentifier(engine, name, value, args, done);
    return value;
}

TEST_F(KalmoraEngine, ProductNamesInAnyCaseBeatParamsOfTheSameName) {
    GiveSamples();
    Engine.Params = {{"invoice", Variant("param")}, {"Kunde", Variant("Meier")}};
    bool done = false;
    for (const char* name : {"invoice", "Invoice", "INVOICE", "iNvOiCe"}) {
        Variant value = Resolve(Engine, name, done);
        ASSERT_TRUE(value.IsObject()) << name;
        EXPECT_EQ(value.ObjectValue(), Engine.InvoiceWrapper.get()) << name;
        EXPECT_TRUE(done);
    }
    EXPECT_EQ(Resolve(Engine, "Payment", done).ObjectValue(), Engine.PaymentWrapper.get());
    EXPECT_EQ(Resolve(Engine, "REPORT", done).ObjectValue(), Engine.ReportWrapper.get());
    EXPECT_EQ(Resolve(Engine, "Fiscalization", done).ObjectValue(), Engine.FiscalizationWrapper.get());
    // Other names still reach the parameters; near misses are not product names.
    EXPECT_EQ(Resolve(Engine, "KUNDE", done).AsString(), "Meier");
    EXPECT_FALSE(Resolve(Engine, "invoices", done).IsObject());
    EXPECT_FALSE(done);

    EXPECT_EQ(Run("begin Print(Invoice.Number + ' ' + kunde) end."), "2024-0815 Meier\n");
}

TEST_F(KalmoraEngine, MissingProductObjectsNameThemselves) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"invoice", "Invoice is not available"},
        {"Payment", "Payment is not available"},
        {"report", "Report is not available"},
        {"FISCALIZATION", "Fiscalization is not available"},
    };
    // A parameter of the name does not stand in for the missing object.
    Engine.Params = {{"payment", Variant(1)}};
    for (const auto& [name, text] : cases) {
        bool done = false;
        try {
            Resolve(Engine, name, done);
            ADD_FAILURE() << name << " resolved";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), text);
            EXPECT_EQ(e.ClassName(), "Exception");
        }
        EXPECT_FALSE(done);
    }
    EXPECT_EQ(RunFailing("var p: Variant; begin p := payment end."), "Payment is not available");
    EXPECT_EQ(Run("begin try Print(payment.Paid) except on E: Exception do Print(E.Message) end end."),
              "Payment is not available\n");
}

// Records the order in which the wrapped objects go.
struct TFreedLog : public TlmInterfacedObject {
    TFreedLog(std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name)) {}
    ~TFreedLog() override { Log.push_back(Name); }
    std::vector<std::string>& Log;
    std::string Name;
};

TEST(KalmoraEngineLifetime, FreesReportInvoicePaymentFiscalizationInThisOrder) {
    std::vector<std::string> log;
    {
        TKalmoraScriptEngine engine;
        engine.FiscalizationWrapper =
            std::make_unique<TIFiscalizationWrapper>(Make<TFreedLog>(log, "fiscalization"));
        engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(Make<TFreedLog>(log, "payment"));
        engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(Make<TFreedLog>(log, "invoice"));
        engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(Make<TFreedLog>(log, "report"));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"report", "invoice", "payment", "fiscalization"}));
}

// Answers none of the product interfaces.
struct TPlainObject : public TlmInterfacedObject {};

TEST_F(KalmoraEngine, AWrapperWithoutItsInterfaceReportsTheProductText) {
    Engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(Make<TPlainObject>());
    Engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(Make<TPlainObject>());
    EXPECT_EQ(RunFailing<EInternalError>("begin Print(fiscalization.DeviceId) end."),
              "Interface IFiscaliziation is not available");
    EXPECT_EQ(RunFailing<EInternalError>("begin Print(invoice.Number) end."),
              "Interface IRechnung is not available");
}

} // namespace
} // namespace kalmora::test
