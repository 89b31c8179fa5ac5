// The product vocabulary: what it registers in which order, and what its members answer in real scripts.

#include "ProductScriptTest.h"
#include "kmScriptEngine/MwstInfo.h"
#include "runtime/Exceptions.h"

#include <vector>

namespace kalmora::test {
namespace {

std::string Describe(const TAdapterEntry& entry) {
    switch (entry.Kind) {
    case TAdapterEntryKind::Class:
        return "type " + entry.Identifier;
    case TAdapterEntryKind::Member:
        return entry.Identifier + "/" + std::to_string(entry.ParamCount);
    case TAdapterEntryKind::Constant:
        return entry.Identifier + "=" + entry.Value.AsString();
    case TAdapterEntryKind::Function:
        break;
    }
    return "function " + entry.Identifier;
}

TEST(ProductFunctions, RegistersTypesMembersAndConstantsInTableOrder) {
    TJvInterpreterAdapter registry;
    RegisterProductFunctions(registry);
    std::vector<std::string> seen;
    for (const TAdapterEntry& entry : registry.Entries()) {
        seen.push_back(Describe(entry));
        if (entry.Kind != TAdapterEntryKind::Member) {
            EXPECT_EQ(entry.UnitName, "Kalmora") << entry.Identifier;
        }
        EXPECT_EQ(entry.ResultKind, ResultNotDeclared) << entry.Identifier;
        for (int i = 0; i < entry.ParamCount; ++i) {
            EXPECT_FALSE(entry.IsByRef(i)) << entry.Identifier;
        }
    }
    const std::vector<std::string> expected = {
        "type IReport",
        "SetColWidth/2",
        "GetParam/1",
        "type IInvoice",
        "DateTime/0",
        "Date/0",
        "Number/0",
        "BasicNumber/0",
        "TotalAmount/0",
        "CreateMwstInfo/0",
        "type TVatInfo",
        "First/0",
        "Next/0",
        "Rate/0",
        "Net/0",
        "Vat/0",
        "type IPayment",
        "Paid/0",
        "PayMethod/0",
        "Date/0",
        "pmCash=0",
        "pmCheque=1",
        "pmTransferal=2",
        "pmCard=3",
        "pmNone=4",
        "pmOther=5",
        "type IFiscalization",
        "FiscalIdPractice/0",
        "FiscalIdUser/0",
        "BusinessId/0",
        "DeviceId/0",
        "Password/0",
        "CertificateFile/0",
        "GenerateUniqueId/0",
        "GenerateSecurityCode/1",
        "GetTransferFilename/0",
    };
    EXPECT_EQ(seen, expected);
}

using ProductMembers = ProductScript;

TEST_F(ProductMembers, DateTimeIsTheMomentForAnInvoiceOfTodayAndTheDateOtherwise) {
    GiveSamples();
    const double before = DateTimeNow();
    Engine.SetSource("begin Print(FloatToStr(invoice.DateTime)) end.");
    Engine.Run();
    const double now = std::stod(Output);
    const double after = DateTimeNow();
    // FloatToStr keeps 15 digits: a millisecond is about 1e-8 days.
    EXPECT_GE(now, before - 1e-7);
    EXPECT_LE(now, after + 1e-7);
    EXPECT_GT(now, DateToday());

    TSampleInvoiceData yesterday;
    yesterday.Date = DateToday() - 1;
    GiveSamples(yesterday);
    EXPECT_EQ(Run("begin if invoice.DateTime = invoice.Date then Print('same') end."), "same\n");
    EXPECT_EQ(Run("begin Print(FloatToStr(invoice.DateTime)) end."), FloatToStr(DateToday() - 1) + "\n");

    // A time of day, even on today's date, is not "today" and comes back unchanged.
    TSampleInvoiceData todayAtNoon;
    todayAtNoon.Date = DateToday() + 0.5;
    GiveSamples(todayAtNoon);
    EXPECT_EQ(Run("begin Print(FloatToStr(invoice.DateTime)) end."), FloatToStr(DateToday() + 0.5) + "\n");
}

TEST_F(ProductMembers, PayMethodWidensTheByteWithoutSign) {
    TSamplePaymentData payment;
    payment.PayMethod = 255;
    GiveSamples({}, payment);
    EXPECT_EQ(Run("begin Print(payment.PayMethod); if payment.PayMethod > pmOther then Print('beyond') end."),
              "255\nbeyond\n");
    payment.PayMethod = 3;
    GiveSamples({}, payment);
    EXPECT_EQ(Run("begin if payment.PayMethod = pmCard then Print('card') end."), "card\n");
}

TEST_F(ProductMembers, VatCursorFirstWithoutRowsAndValuesThatDoNotMove) {
    TSampleInvoiceData empty;
    empty.VatRows.clear();
    GiveSamples(empty);
    EXPECT_EQ(
        Run("var m: Variant; begin m := invoice.CreateMwstInfo; if not m.First then Print('none') end."),
        "none\n");

    GiveSamples();
    EXPECT_EQ(Run("var m: Variant; begin m := invoice.CreateMwstInfo; m.First;\n"
                  "  Print(m.Rate); Print(m.Net); Print(m.Vat); Print(m.Rate);\n"
                  "  m.Next; Print(m.Rate); Print(m.Vat); Print(m.Next) end."),
              "19\n100\n19\n19\n7\n3.5\nFalse\n");
}

TEST_F(ProductMembers, TheVatCursorLivesAsLongAsTheScriptRefersToIt) {
    GiveSamples();
    int during = -1;
    Engine.Adapter().DefineFunction(
        "Test", "OpenQueries", [&](Variant& r, TJvInterpreterArgs&) { r = during = OpenSampleQueries(); }, 0,
        {}, ResultNotDeclared);
    // Kept in a variable: open until the run ends; dropped at once: handed back at once; made in a loop:
    // never more than the ones still referred to.
    EXPECT_EQ(Run("var m: TVatInfo; i: Integer; begin m := invoice.CreateMwstInfo; Print(OpenQueries);\n"
                  "  invoice.CreateMwstInfo.First; Print(OpenQueries);\n"
                  "  for i := 1 to 1000 do m := invoice.CreateMwstInfo; Print(OpenQueries);\n"
                  "  m.First; Print(m.Rate) end."),
              "1\n1\n1\n19\n");
    EXPECT_EQ(OpenSampleQueries(), 0);
    EXPECT_THROW(
        Run("var m: Variant; begin m := invoice.CreateMwstInfo; m.First; raise Exception.Create('x') end."),
        Exception);
    EXPECT_EQ(OpenSampleQueries(), 0);
}

TEST_F(ProductMembers, ACursorTheHostKeepsIsNotFreedByScriptValues) {
    auto info = NewSampleInvoice()->CreateMwstInfo();
    {
        Variant a = Variant::FromObject(info.get());
        Variant b = a;
    }
    EXPECT_TRUE(info->First());
}

TEST_F(ProductMembers, SetColWidthConvertsNumericTexts) {
    GiveSamples();
    Run("begin report.SetColWidth('3', ' 140 '); report.SetColWidth(2, '$10'); "
        "Print(report.GetParam('Titel')) "
        "end.");
    EXPECT_EQ(ReportOut.str(), "SetColWidth(3,140)\nSetColWidth(2,16)\n");
    EXPECT_EQ(Output, "param:Titel\n");
    EXPECT_EQ(RunFailing<EConvertError>("begin report.SetColWidth('drei', 1) end.").empty(), false);
    EXPECT_EQ(ReportOut.str(), "SetColWidth(3,140)\nSetColWidth(2,16)\n");
}

TEST_F(ProductMembers, InvoicePaymentAndFiscalizationValues) {
    GiveSamples();
    EXPECT_EQ(Run("begin Print(invoice.BasicNumber + 1); Print(invoice.TotalAmount); Print(payment.Paid);\n"
                  "  Print(fiscalization.FiscalIdPractice + ' ' + fiscalization.FiscalIdUser + ' ' +\n"
                  "    fiscalization.BusinessId + ' ' + fiscalization.DeviceId + ' ' + "
                  "fiscalization.Password + ' ' +\n"
                  "    fiscalization.CertificateFile + ' ' + fiscalization.GetTransferFilename);\n"
                  "  Print(Length(fiscalization.GenerateUniqueId)) end."),
              "816\n119\n119\nATU12345678 user-1 B-1 D-1 secret cert.pem transfer.xml\n36\n");
    EXPECT_EQ(Run("begin if payment.Date = invoice.Date - 1 then Print('yesterday') end."), "yesterday\n");
}

TEST_F(ProductMembers, GenerateSecurityCodeTakesTheInvoiceAndNoPayment) {
    GiveSamples();
    EXPECT_EQ(Run("begin Print(fiscalization.GenerateSecurityCode(invoice)); "
                  "Print(fiscalization.GenerateSecurityCode(nil)) end."),
              "SC:2024-0815:none\nSC::none\n");
    // A payment where the invoice belongs is the wrong wrapper class.
    EXPECT_THROW(Run("begin fiscalization.GenerateSecurityCode(payment) end."), EInvalidCast);

    // The host function still takes a payment from position 1 when one is there, unwrapped first.
    const TAdapterEntry* entry = nullptr;
    for (const TAdapterEntry* e : Engine.Adapter().FindMembers("GenerateSecurityCode"))
        entry = e;
    ASSERT_NE(entry, nullptr);
    Variant result;
    TJvInterpreterArgs args;
    args.FObj = Engine.FiscalizationWrapper.get();
    args.Values = {Variant::FromObject(Engine.InvoiceWrapper.get()),
                   Variant::FromObject(Engine.PaymentWrapper.get())};
    entry->Function(result, args);
    EXPECT_EQ(result.AsString(), "SC:2024-0815:paid");
    args.Values = {Variant(1), Variant::FromObject(Engine.InvoiceWrapper.get())};
    EXPECT_THROW(entry->Function(result, args), EInvalidCast) << "payment position unwrapped first";
}

TEST_F(ProductMembers, AMemberOnTheWrongWrapperIsAnInvalidCast) {
    GiveSamples();
    const TAdapterEntry* paid = Engine.Adapter().FindMembers("Paid").front();
    Variant result;
    TJvInterpreterArgs args;
    args.FObj = Engine.InvoiceWrapper.get();
    EXPECT_THROW(paid->Function(result, args), EInvalidCast);
    const TAdapterEntry* first = Engine.Adapter().FindMembers("First").front();
    EXPECT_THROW(first->Function(result, args), EInvalidCast);
}

} // namespace
} // namespace kalmora::test
