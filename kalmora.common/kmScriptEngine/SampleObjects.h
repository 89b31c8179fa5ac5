#pragma once

// Product objects with fixed values, so that scripts can be tried and checked without the product:
// kalmora-script --sample-objects and the tests use them.

#include "ProductInterfaces.h"

#include <iosfwd>
#include <vector>

namespace kalmora {

struct TSampleVatRow {
    TCurrency Rate;
    TCurrency Net;
    TCurrency Vat;
};

struct TSampleInvoiceData {
    std::string Number = "2024-0815";
    std::int32_t BasicNumber = 815;
    TDateTime Date = DateToday();
    TCurrency TotalAmount = TCurrency::FromUnits(1190000);
    std::vector<TSampleVatRow> VatRows = {
        {TCurrency::FromUnits(190000), TCurrency::FromUnits(1000000), TCurrency::FromUnits(190000)},
        {TCurrency::FromUnits(70000), TCurrency::FromUnits(500000), TCurrency::FromUnits(35000)},
    };
};

struct TSamplePaymentData {
    TCurrency Paid = TCurrency::FromUnits(1190000);
    std::uint8_t PayMethod = 3;
    TDateTime Date = DateToday() - 1;
};

TIntfRef<IRechnung> NewSampleInvoice(TSampleInvoiceData data = {});
TIntfRef<IZahlungseingang> NewSamplePayment(TSamplePaymentData data = {});
// GetParam(N) is "param:" + N; SetColWidth writes "SetColWidth(Col,Width)" and a line break to `out`.
TIntfRef<IStandardReports> NewSampleReport(std::ostream& out);
TIntfRef<IFiscalization> NewSampleFiscalization();

// How many sample queries are open (handed out by an invoice and not yet taken back by its database).
int OpenSampleQueries();

} // namespace kalmora
