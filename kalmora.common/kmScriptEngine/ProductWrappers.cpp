#include "ProductWrappers.h"

#include "UtilBox/InternalError.h"
#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

template <class TWrapper, class I> TIntfRef<I> Unwrap(TObject* object, std::string_view missingText) {
    if (!object)
        return {};
    auto* wrapper = dynamic_cast<TWrapper*>(object);
    if (!wrapper)
        throw EInvalidCast("Invalid class typecast");
    auto answer = Supports<I>(wrapper->Intf);
    if (!answer)
        throw EInternalError(std::string(missingText));
    return answer;
}

} // namespace

TIntfRef<IStandardReports> AsStandardReports(TObject* object) {
    return Unwrap<TIStandardReportsWrapper, IStandardReports>(object,
                                                              "Interface IStandardReports is not available");
}

TIntfRef<IRechnung> AsRechnung(TObject* object) {
    return Unwrap<TIRechnungWrapper, IRechnung>(object, "Interface IRechnung is not available");
}

TIntfRef<IZahlungseingang> AsZahlungseingang(TObject* object) {
    return Unwrap<TIZahlungseingangWrapper, IZahlungseingang>(object,
                                                              "Interface IZahlungseingang is not available");
}

TIntfRef<IFiscalization> AsFiscalization(TObject* object) {
    // The text is the product's, spelling included: scripts and logs compare it.
    return Unwrap<TIFiscalizationWrapper, IFiscalization>(object,
                                                          "Interface IFiscaliziation is not available");
}

} // namespace kalmora
