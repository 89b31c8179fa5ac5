// The product vocabulary: its registrations in order, and real scripts over sample product objects.

#include "kmScriptEngine/ProductFunctions.h"

#include "kmScriptEngine/KalmoraScriptEngine.h"
#include "kmScriptEngine/MwstInfo.h"
#include "kmScriptEngine/SampleObjects.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kalmora {
namespace {

std::string Describe(const TAdapterEntry& entry) {
    switch (entry.Kind) {
    case TAdapterEntryKind::Constant:
        return "const " + entry.Identifier + "=" + entry.Value.AsString();
    case TAdapterEntryKind::Function:
        return "function " + entry.Identifier;
    case TAdapterEntryKind::Class:
        return "type " + entry.Identifier;
    case TAdapterEntryKind::Member:
        return "." + entry.Identifier + "/" + std::to_string(entry.ParamCount);
    case TAdapterEntryKind::ExceptionClass:
        return "exception " + entry.Identifier;
    }
    return {};
}

TEST(ProductFunctions, RegistersEveryNameInTheProductsOrder) {
    TJvInterpreterAdapter registry;
    RegisterProductFunctions(registry);
    std::vector<std::string> names;
    for (const TAdapterEntry& entry : registry.Entries()) {
        names.push_back(Describe(entry));
        if (entry.Kind != TAdapterEntryKind::Member) {
            EXPECT_EQ(entry.UnitName, "Kalmora") << names.back();
        }
        EXPECT_EQ(entry.ResultKind, ResultNotDeclared) << names.back();
        for (int i = 0; i < entry.ParamCount; ++i)
            EXPECT_FALSE(entry.IsByRef(i)) << names.back();
    }
    const std::vector<std::string> expected = {"type IReport",
                                               ".SetColWidth/2",
                                               ".GetParam/1",
                                               "type IInvoice",
                                               ".DateTime/0",
                                               ".Date/0",
                                               ".Number/0",
                                               ".BasicNumber/0",
                                               ".TotalAmount/0",
                                               ".CreateMwstInfo/0",
                                               "type TVatInfo",
                                               ".First/0",
                                               ".Next/0",
                                               ".Rate/0",
                                               ".Net/0",
                                               ".Vat/0",
                                               "type IPayment",
                                               ".Paid/0",
                                               ".PayMethod/0",
                                               ".Date/0",
                                               "const pmCash=0",
                                               "const pmCheque=1",
                                               "const pmTransferal=2",
                                               "const pmCard=3",
                                               "const pmNone=4",
                                               "const pmOther=5",
                                               "type IFiscalization",
                                               ".FiscalIdPractice/0",
                                               ".FiscalIdUser/0",
                                               ".BusinessId/0",
                                               ".DeviceId/0",
                                               ".Password/0",
                                               ".CertificateFile/0",
                                               ".GenerateUniqueId/0",
                                               ".GenerateSecurityCode/1",
                                               ".GetTransferFilename/0"};
    EXPECT_EQ(names, expected);
}

// A product engine with the whole vocabulary in its own registry; Keep records script values.
class ProductScript : public testing::Test {
protected:
    ProductScript() {
        TJvInterpreterAdapter& adapter = Engine.Adapter();
        RegisterCommonFunctions(adapter);
        RegisterUtilFunctions(adapter);
        RegisterProductFunctions(adapter);
        adapter.DefineFunction(
            "Test", "Keep", [this](Variant&, TJvInterpreterArgs& a) { Kept.push_back(a[0]); }, 1, {},
            ResultNotDeclared);
        adapter.DefineFunction(
            "Test", "OpenQueries", [](Variant& r, TJvInterpreterArgs&) { r = Variant(OpenSampleQueries()); },
            0, {}, ResultNotDeclared);
    }
    ~ProductScript() override { TManagedInterfaceWrapper::ClearInstanceListStack(); }

    void Give(TSampleInvoiceData invoice = {}, TSamplePaymentData payment = {}) {
        Engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice(std::move(invoice)));
        Engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(NewSamplePayment(payment));
        Engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(NewSampleReport(ReportOut));
        Engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(NewSampleFiscalization());
    }

    void Run(const std::string& body) {
        Engine.SetSource(body);
        Engine.Run();
    }

    std::vector<std::string> KeptTexts() const {
        std::vector<std::string> texts;
        for (const Variant& v : Kept)
            texts.push_back(v.AsString());
        return texts;
    }

    std::ostringstream ReportOut;
    TKalmoraScriptEngine Engine;
    std::vector<Variant> Kept;
};

TEST_F(ProductScript, InvoicePaymentAndFiscalizationAnswerTheirValues) {
    Give();
    Run("begin\n"
        "  Keep(invoice.Number); Keep(invoice.BasicNumber); Keep(invoice.TotalAmount);\n"
        "  Keep(payment.Paid); Keep(payment.PayMethod = pmCard);\n"
        "  Keep(fiscalization.FiscalIdPractice); Keep(fiscalization.FiscalIdUser);\n"
        "  Keep(fiscalization.BusinessId); Keep(fiscalization.DeviceId); Keep(fiscalization.Password);\n"
        "  Keep(fiscalization.CertificateFile); Keep(fiscalization.GetTransferFilename);\n"
        "  Keep(fiscalization.GenerateSecurityCode(invoice));\n"
        "  Keep(fiscalization.GenerateSecurityCode(nil));\n"
        "end.");
    EXPECT_EQ(KeptTexts(), (std::vector<std::string>{"2024-0815", "815", "119", "119", "True", "ATU12345678",
                                                     "user-1", "B-1", "D-1", "secret", "cert.pem",
                                                     "transfer.xml", "SC:2024-0815:none", "SC::none"}));
    EXPECT_EQ(Kept[2].Type(), TVarType::Currency);
    EXPECT_EQ(Kept[2].CurrencyUnits(), 1190000);
}

TEST_F(ProductScript, SecurityCodeRefusesAPaymentWhereTheInvoiceBelongs) {
    Give();
    EXPECT_THROW(Run("begin Keep(fiscalization.GenerateSecurityCode(payment)) end."), EInvalidCast);
}

TEST_F(ProductScript, DateTimeGivesTheMomentForAnInvoiceOfTodayAndTheDateOtherwise) {
    Give();
    const double before = DateTimeNow();
    Run("begin Keep(invoice.DateTime); Keep(invoice.Date); Keep(payment.Date) end.");
    const double after = DateTimeNow();
    ASSERT_EQ(Kept.size(), 3u);
    EXPECT_EQ(Kept[0].Type(), TVarType::Date);
    EXPECT_GE(Kept[0].AsDateTime(), before);
    EXPECT_LE(Kept[0].AsDateTime(), after);
    EXPECT_EQ(Kept[1].AsDateTime(), DateToday());
    EXPECT_EQ(Kept[2].AsDateTime(), DateToday() - 1);

    Kept.clear();
    TSampleInvoiceData yesterday;
    yesterday.Date = DateToday() - 1;
    Give(yesterday);
    Run("begin Keep(invoice.DateTime) end.");
    EXPECT_EQ(Kept.at(0).AsDateTime(), DateToday() - 1);
}

TEST_F(ProductScript, PayMethodWidensTheByteWithoutSign) {
    TSamplePaymentData payment;
    payment.PayMethod = 255;
    Give({}, payment);
    Run("begin Keep(payment.PayMethod) end.");
    EXPECT_EQ(Kept.at(0).Type(), TVarType::Integer);
    EXPECT_EQ(Kept.at(0).AsInteger(), 255);
}

TEST_F(ProductScript, VatRowsAreWalkedAndReadingDoesNotMoveTheCursor) {
    Give();
    Run("var m: TVatInfo;\n"
        "begin\n"
        "  m := invoice.CreateMwstInfo;\n"
        "  Keep(m.First);\n"
        "  Keep(m.Rate); Keep(m.Rate); Keep(m.Net); Keep(m.Vat);\n"
        "  Keep(m.Next);\n"
        "  Keep(m.Vat); Keep(m.Rate);\n"
        "  Keep(m.Next);\n"
        "end.");
    EXPECT_EQ(KeptTexts(),
              (std::vector<std::string>{"True", "19", "19", "100", "19", "True", "3.5", "7", "False"}));
}

TEST_F(ProductScript, FirstWithoutRowsIsFalse) {
    TSampleInvoiceData empty;
    empty.VatRows.clear();
    Give(empty);
    Run("begin Keep(invoice.CreateMwstInfo.First) end.");
    EXPECT_EQ(KeptTexts(), std::vector<std::string>{"False"});
}

TEST_F(ProductScript, VatCursorsLiveAsLongAsTheScriptRefersToThem) {
    Give();
    const int before = OpenSampleQueries();
    Run("var i: Integer; kept, m: TVatInfo;\n"
        "begin\n"
        "  kept := invoice.CreateMwstInfo;\n"
        "  invoice.CreateMwstInfo;\n"
        "  for i := 1 to 100 do begin m := invoice.CreateMwstInfo; m.First end;\n"
        "  Keep(OpenQueries);\n"
        "  m := nil;\n"
        "  Keep(OpenQueries);\n"
        "  Keep(kept.First); Keep(kept.Net);\n"
        "end.");
    // The kept cursor and the last one of the loop are open; the ignored one and the replaced ones are not.
    EXPECT_EQ(KeptTexts(), (std::vector<std::string>{std::to_string(before + 2), std::to_string(before + 1),
                                                     "True", "100"}));
    Engine.SetSource("begin end.");
    EXPECT_EQ(OpenSampleQueries(), before);
}

TEST_F(ProductScript, SetColWidthTakesNumbersWrittenAsText) {
    Give();
    Run("begin report.SetColWidth('3', ' 40'); report.SetColWidth(1, 2); Keep(report.GetParam('Kunde')) "
        "end.");
    EXPECT_EQ(ReportOut.str(), "SetColWidth(3,40)\nSetColWidth(1,2)\n");
    EXPECT_EQ(KeptTexts(), std::vector<std::string>{"param:Kunde"});
    EXPECT_THROW(Run("begin report.SetColWidth('3', 'breit') end."), EConvertError);
    EXPECT_EQ(ReportOut.str(), "SetColWidth(3,40)\nSetColWidth(1,2)\n");
}

TEST_F(ProductScript, AWrapperWithoutItsInterfaceNamesIt) {
    Give();
    Engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(NewSampleInvoice());
    try {
        Run("begin Keep(fiscalization.DeviceId) end.");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "EInternalError");
        EXPECT_EQ(e.Message(), "Interface IFiscaliziation is not available");
    }
}

TEST_F(ProductScript, SecurityCodeHostFunctionTakesAPaymentAtTheSecondPositionUnwrappedFirst) {
    // Scripts can pass only the invoice; a host that calls the member with two arguments gets the payment
    // through, and a wrong object there fails before the invoice is looked at.
    Give();
    const TAdapterEntry* entry = Engine.Adapter().FindMembers("GenerateSecurityCode").at(0);
    Variant result;
    TJvInterpreterArgs args;
    args.FObj = Engine.FiscalizationWrapper.get();
    args.Values = {Variant::FromObject(Engine.InvoiceWrapper.get()),
                   Variant::FromObject(Engine.PaymentWrapper.get())};
    entry->Function(result, args);
    EXPECT_EQ(result.AsString(), "SC:2024-0815:paid");
    args.Values = {Variant("no invoice"), Variant::FromObject(Engine.InvoiceWrapper.get())};
    EXPECT_THROW(entry->Function(result, args), EInvalidCast);
}

TEST_F(ProductScript, ACursorOfARunThatRaisesIsHandedBack) {
    Give();
    const int before = OpenSampleQueries();
    EXPECT_THROW(Run("var m: TVatInfo; begin m := invoice.CreateMwstInfo; m.First; "
                     "raise EConvertError.Create('stop') end."),
                 Exception);
    Engine.SetSource("begin end.");
    EXPECT_EQ(OpenSampleQueries(), before);
}

TEST(MwstInfoLifetime, ACursorTheHostOwnsIsNotFreedByScriptValues) {
    auto info = NewSampleInvoice()->CreateMwstInfo();
    {
        Variant a = Variant::FromObject(info.get());
        Variant b = a;
    }
    EXPECT_TRUE(info->First()) << "still usable after the last script value let go";
}

} // namespace
} // namespace kalmora
