// Unwrapping the product objects: none, the wrong wrapper class, a wrapper around the wrong interface.

#include "kmScriptEngine/ProductWrappers.h"

#include "UtilBox/InternalError.h"
#include "kmScriptEngine/SampleObjects.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kalmora {
namespace {

std::string MissingText(const std::function<void()>& unwrap) {
    try {
        unwrap();
    } catch (const EInternalError& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(ProductWrappers, UnwrapTheirOwnInterface) {
    std::ostringstream out;
    TIRechnungWrapper invoice(NewSampleInvoice());
    TIZahlungseingangWrapper payment(NewSamplePayment());
    TIStandardReportsWrapper report(NewSampleReport(out));
    TIFiscalizationWrapper fiscal(NewSampleFiscalization());
    EXPECT_EQ(AsRechnung(&invoice)->GetNumber(), "2024-0815");
    EXPECT_EQ(AsZahlungseingang(&payment)->GetPayMethod(), 3);
    EXPECT_EQ(AsStandardReports(&report)->GetParam("x"), "param:x");
    EXPECT_EQ(AsFiscalization(&fiscal)->GetDeviceId(), "D-1");
    EXPECT_FALSE(AsRechnung(nullptr));
    EXPECT_FALSE(AsFiscalization(nullptr));
}

TEST(ProductWrappers, AnotherWrapperClassIsAnInvalidCast) {
    TIRechnungWrapper invoice(NewSampleInvoice());
    EXPECT_THROW(AsZahlungseingang(&invoice), EInvalidCast);
    TInterfaceWrapper plain(NewSampleInvoice());
    EXPECT_THROW(AsRechnung(&plain), EInvalidCast) << "only the invoice wrapper class is accepted";
}

TEST(ProductWrappers, WrongInterfaceNamesTheMissingOne) {
    std::ostringstream out;
    TIStandardReportsWrapper report(NewSamplePayment());
    TIRechnungWrapper invoice(NewSamplePayment());
    TIZahlungseingangWrapper payment(NewSampleInvoice());
    TIFiscalizationWrapper fiscal(NewSampleReport(out));
    TIFiscalizationWrapper empty(nullptr);
    EXPECT_EQ(MissingText([&] { AsStandardReports(&report); }),
              "Interface IStandardReports is not available");
    EXPECT_EQ(MissingText([&] { AsRechnung(&invoice); }), "Interface IRechnung is not available");
    EXPECT_EQ(MissingText([&] { AsZahlungseingang(&payment); }),
              "Interface IZahlungseingang is not available");
    EXPECT_EQ(MissingText([&] { AsFiscalization(&fiscal); }), "Interface IFiscaliziation is not available");
    EXPECT_EQ(MissingText([&] { AsFiscalization(&empty); }), "Interface IFiscaliziation is not available");
}

} // namespace
} // namespace kalmora
