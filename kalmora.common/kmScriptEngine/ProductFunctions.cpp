#include "ProductFunctions.h"

#include "KalmoraScriptEngine.h"
#include "MwstInfo.h"
#include "runtime/Exceptions.h"

#include <array>
#include <string_view>

namespace kalmora {
namespace {

constexpr std::string_view Unit = "Kalmora";

// The host object behind a script's object value: none for nil; EInvalidCast for script objects that no
// wrapper can be (an exception object, say).
TObject* HostObject(TScriptObject* object) {
    if (!object)
        return nullptr;
    auto* host = dynamic_cast<TObject*>(object);
    if (!host)
        throw EInvalidCast("Invalid class typecast");
    return host;
}

// Unwrapping nil yields nil; a member invoked on it has nothing to call, which is refused by name rather
// than dereferenced.
template <class I> TIntfRef<I> Invoked(TIntfRef<I> intf, std::string_view type) {
    if (!intf)
        throw EInvalidPointer(std::string(type) + ": the object is nil");
    return intf;
}

TIntfRef<IStandardReports> Report(TJvInterpreterArgs& args) {
    return Invoked(TKalmoraScriptEngine::AsStandardReports(HostObject(args.Obj())), "IReport");
}
TIntfRef<IRechnung> Invoice(TJvInterpreterArgs& args) {
    return Invoked(TKalmoraScriptEngine::AsRechnung(HostObject(args.Obj())), "IInvoice");
}
TIntfRef<IZahlungseingang> Payment(TJvInterpreterArgs& args) {
    return Invoked(TKalmoraScriptEngine::AsZahlungseingang(HostObject(args.Obj())), "IPayment");
}
TIntfRef<IFiscalization> Fiscalization(TJvInterpreterArgs& args) {
    return Invoked(TKalmoraScriptEngine::AsFiscalization(HostObject(args.Obj())), "IFiscalization");
}

TMwstInfo& VatInfo(TJvInterpreterArgs& args) {
    auto* info = dynamic_cast<TMwstInfo*>(args.Obj());
    if (!info)
        throw EInvalidCast("Invalid class typecast");
    return *info;
}

Variant Currency(TCurrency value) {
    return Variant::FromCurrencyUnits(value.Units);
}

// Every member of the product types takes its arguments by value and declares no result kind.
void Member(TJvInterpreterAdapter& registry, const TScriptClass& hostClass, const char* name, int paramCount,
            THostFunction function) {
    registry.DefineMember(hostClass, name, std::move(function), paramCount, {}, ResultNotDeclared);
}

void RegisterReport(TJvInterpreterAdapter& registry) {
    const auto cls = TScriptClass::Of<TIStandardReportsWrapper>();
    registry.DefineClass(std::string(Unit), cls, "IReport");
    Member(registry, cls, "SetColWidth", 2, [](Variant&, TJvInterpreterArgs& a) {
        Report(a)->SetColWidth(a[0].AsInteger(), a[1].AsInteger());
    });
    Member(registry, cls, "GetParam", 1,
           [](Variant& r, TJvInterpreterArgs& a) { r = Report(a)->GetParam(a[0].AsString()); });
}

void RegisterInvoice(TJvInterpreterAdapter& registry) {
    const auto cls = TScriptClass::Of<TIRechnungWrapper>();
    registry.DefineClass(std::string(Unit), cls, "IInvoice");
    Member(registry, cls, "DateTime", 0, [](Variant& r, TJvInterpreterArgs& a) {
        // An invoice of today carries no time; the script gets the moment instead.
        const TDateTime date = Invoice(a)->GetDate();
        r = Variant::FromDateTime(date == DateToday() ? DateTimeNow() : date);
    });
    Member(registry, cls, "Date", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant::FromDateTime(Invoice(a)->GetDate()); });
    Member(registry, cls, "Number", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Invoice(a)->GetNumber(); });
    Member(registry, cls, "BasicNumber", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = static_cast<int>(Invoice(a)->GetBasicNumber()); });
    Member(registry, cls, "TotalAmount", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(Invoice(a)->GetTotalAmount()); });
    Member(registry, cls, "CreateMwstInfo", 0, [](Variant& r, TJvInterpreterArgs& a) {
        r = TMwstInfo::AdoptByScript(Invoice(a)->CreateMwstInfo());
    });
}

void RegisterVatInfo(TJvInterpreterAdapter& registry) {
    const auto cls = TScriptClass::Of<TMwstInfo>();
    registry.DefineClass(std::string(Unit), cls, "TVatInfo");
    Member(registry, cls, "First", 0, [](Variant& r, TJvInterpreterArgs& a) { r = VatInfo(a).First(); });
    Member(registry, cls, "Next", 0, [](Variant& r, TJvInterpreterArgs& a) { r = VatInfo(a).Next(); });
    // Each reads the whole row and leaves the cursor where it is.
    Member(registry, cls, "Rate", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfo(a).GetValues().Rate); });
    Member(registry, cls, "Net", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfo(a).GetValues().Net); });
    Member(registry, cls, "Vat", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(VatInfo(a).GetValues().Vat); });
}

void RegisterPayment(TJvInterpreterAdapter& registry) {
    const auto cls = TScriptClass::Of<TIZahlungseingangWrapper>();
    registry.DefineClass(std::string(Unit), cls, "IPayment");
    Member(registry, cls, "Paid", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Currency(Payment(a)->GetPaid()); });
    // The stored code is one unsigned byte: 255 stays 255.
    Member(registry, cls, "PayMethod", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = static_cast<int>(Payment(a)->GetPayMethod()); });
    Member(registry, cls, "Date", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Variant::FromDateTime(Payment(a)->GetDate()); });
}

void RegisterPayMethods(TJvInterpreterAdapter& registry) {
    constexpr std::array<std::string_view, 6> Names = {"pmCash", "pmCheque", "pmTransferal",
                                                       "pmCard", "pmNone",   "pmOther"};
    for (std::size_t i = 0; i < Names.size(); ++i)
        registry.DefineConstant(std::string(Unit), std::string(Names[i]), Variant(static_cast<int>(i)));
}

void RegisterFiscalization(TJvInterpreterAdapter& registry) {
    const auto cls = TScriptClass::Of<TIFiscalizationWrapper>();
    registry.DefineClass(std::string(Unit), cls, "IFiscalization");
    using TGetter = std::string (IFiscalization::*)();
    const std::array<std::pair<const char*, TGetter>, 7> texts = {{
        {"FiscalIdPractice", &IFiscalization::GetFiscalIdPractice},
        {"FiscalIdUser", &IFiscalization::GetFiscalIdUser},
        {"BusinessId", &IFiscalization::GetBusinessId},
        {"DeviceId", &IFiscalization::GetDeviceId},
        {"Password", &IFiscalization::GetPassword},
        {"CertificateFile", &IFiscalization::GetCertificateFile},
        {"GenerateUniqueId", &IFiscalization::GenerateUniqueId},
    }};
    for (const auto& [name, getter] : texts)
        Member(registry, cls, name, 0,
               [getter](Variant& r, TJvInterpreterArgs& a) { r = (Fiscalization(a).get()->*getter)(); });
    // Registered with one argument, so a script never passes a payment; one given at position 1 would
    // be unwrapped first, as the product did.
    Member(registry, cls, "GenerateSecurityCode", 1, [](Variant& r, TJvInterpreterArgs& a) {
        TIntfRef<IZahlungseingang> payment;
        if (a.Count() > 1)
            payment = TKalmoraScriptEngine::AsZahlungseingang(HostObject(a[1].AsObject()));
        TIntfRef<IRechnung> invoice = TKalmoraScriptEngine::AsRechnung(HostObject(a[0].AsObject()));
        r = Fiscalization(a)->GenerateSecurityCode(invoice, payment);
    });
    Member(registry, cls, "GetTransferFilename", 0,
           [](Variant& r, TJvInterpreterArgs& a) { r = Fiscalization(a)->GetTransferFilename(); });
}

} // namespace

void RegisterProductFunctions(TJvInterpreterAdapter& registry) {
    RegisterReport(registry);
    RegisterInvoice(registry);
    RegisterVatInfo(registry);
    RegisterPayment(registry);
    RegisterPayMethods(registry);
    RegisterFiscalization(registry);
}

} // namespace kalmora
