#include "ProductFunctions.h"

#include "KalmoraScriptEngine.h"
#include "MwstInfo.h"
#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

constexpr std::string_view Unit = "Kalmora";

using TEngine = TKalmoraScriptEngine;

TObject* Invoked(TJvInterpreterArgs& args) {
    return HostObject(args.Obj());
}

TIntfRef<IStandardReports> ReportOf(TJvInterpreterArgs& args) {
    return RequiredInterface(TEngine::AsStandardReports(Invoked(args)), "IReport");
}
TIntfRef<IRechnung> InvoiceOf(TJvInterpreterArgs& args) {
    return RequiredInterface(TEngine::AsRechnung(Invoked(args)), "IInvoice");
}
TIntfRef<IZahlungseingang> PaymentOf(TJvInterpreterArgs& args) {
    return RequiredInterface(TEngine::AsZahlungseingang(Invoked(args)), "IPayment");
}
TIntfRef<IFiscalization> FiscalizationOf(TJvInterpreterArgs& args) {
    return RequiredInterface(TEngine::AsFiscalization(Invoked(args)), "IFiscalization");
}

TMwstInfo& VatInfoOf(TJvInterpreterArgs& args) {
    auto* info = dynamic_cast<TMwstInfo*>(args.Obj());
    if (!info)
        throw EInvalidCast("Invalid class typecast");
    return *info;
}

Variant Currency(TCurrency value) {
    return Variant::FromCurrencyUnits(value.Units);
}

void Member(TJvInterpreterAdapter& registry, TScriptClass type, std::string name, int paramCount,
            THostFunction function) {
    registry.DefineMember(type, std::move(name), std::move(function), paramCount,
                          std::vector<std::uint16_t>(static_cast<std::size_t>(paramCount), ParamByValue),
                          ResultNotDeclared);
}

void RegisterReport(TJvInterpreterAdapter& registry) {
    const auto type = TScriptClass::Of<TIStandardReportsWrapper>();
    registry.DefineClass(std::string(Unit), type, "IReport");
    Member(registry, type, "SetColWidth", 2, [](Variant&, TJvInterpreterArgs& a) {
        // Converted before the report is asked, so a text that is no number leaves the report untouched.
        const int col = a[0].AsInteger();
        const int width = a[1].AsInteger();
        ReportOf(a)->SetColWidth(col, width);
    });
    Member(registry, type, "GetParam", 1,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant(ReportOf(a)->GetParam(a[0].AsString())); });
}

void RegisterInvoice(TJvInterpreterAdapter& registry) {
    const auto type = TScriptClass::Of<TIRechnungWrapper>();
    registry.DefineClass(std::string(Unit), type, "IInvoice");
    Member(registry, type, "DateTime", 0, [](Variant& r, TJvInterpreterArgs& a) {
        // An invoice written today carries no time of day; scripts want the moment instead.
        const TDateTime date = InvoiceOf(a)->GetDate();
        r = Variant::FromDateTime(date == DateToday() ? DateTimeNow() : date);
    });
    Member(registry, type, "Date", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant::FromDateTime(InvoiceOf(a)->GetDate()); });
    Member(registry, type, "Number", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant(InvoiceOf(a)->GetNumber()); });
    Member(registry, type, "BasicNumber", 0, [](Variant& r, TJvInterpreterArgs& a) {
        r = Variant(static_cast<int>(InvoiceOf(a)->GetBasicNumber()));
    });
    Member(registry, type, "TotalAmount", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(InvoiceOf(a)->GetTotalAmount()); });
    Member(registry, type, "CreateMwstInfo", 0, [](Variant& r, TJvInterpreterArgs& a) {
        r = TMwstInfo::ToScript(InvoiceOf(a)->CreateMwstInfo());
    });
}

void RegisterVatInfo(TJvInterpreterAdapter& registry) {
    const auto type = TScriptClass::Of<TMwstInfo>();
    registry.DefineClass(std::string(Unit), type, "TVatInfo");
    Member(registry, type, "First", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant(VatInfoOf(a).First()); });
    Member(registry, type, "Next", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant(VatInfoOf(a).Next()); });
    Member(registry, type, "Rate", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfoOf(a).GetValues().Rate); });
    Member(registry, type, "Net", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfoOf(a).GetValues().Net); });
    Member(registry, type, "Vat", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfoOf(a).GetValues().Vat); });
}

void RegisterPayment(TJvInterpreterAdapter& registry) {
    const auto type = TScriptClass::Of<TIZahlungseingangWrapper>();
    registry.DefineClass(std::string(Unit), type, "IPayment");
    Member(registry, type, "Paid", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(PaymentOf(a)->GetPaid()); });
    Member(registry, type, "PayMethod", 0, [](Variant& r, TJvInterpreterArgs& a) {
        // The code is one unsigned byte: 255 stays 255.
        const std::uint8_t code = PaymentOf(a)->GetPayMethod();
        r = Variant(static_cast<int>(code));
    });
    Member(registry, type, "Date", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant::FromDateTime(PaymentOf(a)->GetDate()); });

    const char* const names[] = {"pmCash", "pmCheque", "pmTransferal", "pmCard", "pmNone", "pmOther"};
    for (int code = 0; code < 6; ++code)
        registry.DefineConstant(std::string(Unit), names[code], Variant(code));
}

void RegisterFiscalization(TJvInterpreterAdapter& registry) {
    const auto type = TScriptClass::Of<TIFiscalizationWrapper>();
    registry.DefineClass(std::string(Unit), type, "IFiscalization");
    using TGetter = std::string (IFiscalization::*)();
    auto text = [&](std::string name, TGetter getter) {
        Member(registry, type, std::move(name), 0, [getter](Variant& r, TJvInterpreterArgs& a) {
            r = Variant((FiscalizationOf(a).get()->*getter)());
        });
    };
    text("FiscalIdPractice", &IFiscalization::GetFiscalIdPractice);
    text("FiscalIdUser", &IFiscalization::GetFiscalIdUser);
    text("BusinessId", &IFiscalization::GetBusinessId);
    text("DeviceId", &IFiscalization::GetDeviceId);
    text("Password", &IFiscalization::GetPassword);
    text("CertificateFile", &IFiscalization::GetCertificateFile);
    text("GenerateUniqueId", &IFiscalization::GenerateUniqueId);
    Member(registry, type, "GenerateSecurityCode", 1, [](Variant& r, TJvInterpreterArgs& a) {
        // The member takes one argument, so a script never fills the payment's position: it passes none.
        TIntfRef<IZahlungseingang> payment;
        if (a.Count() > 1)
            payment = TEngine::AsZahlungseingang(ScriptArgObject(a[1]));
        TIntfRef<IRechnung> invoice = TEngine::AsRechnung(ScriptArgObject(a[0]));
        r = Variant(FiscalizationOf(a)->GenerateSecurityCode(invoice, payment));
    });
    text("GetTransferFilename", &IFiscalization::GetTransferFilename);
}

} // namespace

void RegisterProductFunctions(TJvInterpreterAdapter& registry) {
    RegisterReport(registry);
    RegisterInvoice(registry);
    RegisterVatInfo(registry);
    RegisterPayment(registry);
    RegisterFiscalization(registry);
}

} // namespace kalmora
