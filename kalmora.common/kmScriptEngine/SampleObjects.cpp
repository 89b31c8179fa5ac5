#include "SampleObjects.h"

#include "MwstInfo.h"
#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

#include <atomic>
#include <ostream>

namespace kalmora {
namespace {

std::atomic<int> OpenQueries{0};

class TSampleQuery : public TInterfacedObject, public IlmQuery {
public:
    explicit TSampleQuery(std::vector<TSampleVatRow> rows) : FRows(std::move(rows)) { ++OpenQueries; }
    void First() override { FRow = 0; }
    void Next() override {
        if (FRow < FRows.size())
            ++FRow;
    }
    bool Eof() override { return FRow >= FRows.size(); }
    TCurrency FieldAsCurrency(const std::string& fieldName) override {
        if (Eof())
            throw Exception("No current record");
        const TSampleVatRow& row = FRows[FRow];
        if (SameText(fieldName, "mwstsatz"))
            return row.Rate;
        if (SameText(fieldName, "netto"))
            return row.Net;
        if (SameText(fieldName, "Mwst"))
            return row.Vat;
        throw Exception("Field '" + fieldName + "' not found");
    }

protected:
    ~TSampleQuery() override = default;
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IlmQuery::IID) || TInterfacedObject::Implements(iid);
    }

private:
    std::vector<TSampleVatRow> FRows;
    std::size_t FRow = 0;
};

class TSampleDatabase : public TInterfacedObject, public IlmDatabase {
public:
    void ReleaseQuery(TIntfRef<IlmQuery>& query) override {
        if (query)
            --OpenQueries;
        query.reset();
    }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IlmDatabase::IID) || TInterfacedObject::Implements(iid);
    }
};

class TSampleInvoice : public TInterfacedObject, public IRechnung {
public:
    explicit TSampleInvoice(TSampleInvoiceData data) : FData(std::move(data)) {}
    std::unique_ptr<TMwstInfo> CreateMwstInfo() override {
        return std::make_unique<TMwstInfo>(Make<TSampleQuery>(FData.VatRows), Make<TSampleDatabase>());
    }
    std::string GetNumber() override { return FData.Number; }
    std::int32_t GetBasicNumber() override { return FData.BasicNumber; }
    TDateTime GetDate() override { return FData.Date; }
    TCurrency GetTotalAmount() override { return FData.TotalAmount; }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IRechnung::IID) || TInterfacedObject::Implements(iid);
    }

private:
    TSampleInvoiceData FData;
};

class TSamplePayment : public TInterfacedObject, public IZahlungseingang {
public:
    explicit TSamplePayment(TSamplePaymentData data) : FData(data) {}
    std::uint8_t GetPayMethod() override { return FData.PayMethod; }
    TCurrency GetPaid() override { return FData.Paid; }
    TDateTime GetDate() override { return FData.Date; }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IZahlungseingang::IID) || TInterfacedObject::Implements(iid);
    }

private:
    TSamplePaymentData FData;
};

class TSampleReport : public TInterfacedObject, public IStandardReports {
public:
    explicit TSampleReport(std::ostream& out) : FOut(out) {}
    void SetColWidth(std::int32_t col, std::int32_t width) override {
        FOut << "SetColWidth(" << col << "," << width << ")\n";
        FOut.flush();
    }
    std::string GetParam(const std::string& name) override { return "param:" + name; }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IStandardReports::IID) || TInterfacedObject::Implements(iid);
    }

private:
    std::ostream& FOut;
};

class TSampleFiscalization : public TInterfacedObject, public IFiscalization {
public:
    std::string GenerateUniqueId() override { return NewGuidText(true); }
    std::string GenerateSecurityCode(const TIntfRef<IRechnung>& invoice,
                                     const TIntfRef<IZahlungseingang>& payment) override {
        return "SC:" + (invoice ? invoice->GetNumber() : std::string()) + (payment ? ":paid" : ":none");
    }
    std::string GetTransferFilename() override { return "transfer.xml"; }
    std::string GetFiscalIdPractice() override { return "ATU12345678"; }
    std::string GetFiscalIdUser() override { return "user-1"; }
    std::string GetBusinessId() override { return "B-1"; }
    std::string GetDeviceId() override { return "D-1"; }
    std::string GetPassword() override { return "secret"; }
    std::string GetCertificateFile() override { return "cert.pem"; }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IFiscalization::IID) || TInterfacedObject::Implements(iid);
    }
};

} // namespace

TIntfRef<IRechnung> NewSampleInvoice(TSampleInvoiceData data) {
    return Make<TSampleInvoice>(std::move(data));
}

TIntfRef<IZahlungseingang> NewSamplePayment(TSamplePaymentData data) {
    return Make<TSamplePayment>(data);
}

TIntfRef<IStandardReports> NewSampleReport(std::ostream& out) {
    return Make<TSampleReport>(out);
}

TIntfRef<IFiscalization> NewSampleFiscalization() {
    return Make<TSampleFiscalization>();
}

int OpenSampleQueries() {
    return OpenQueries.load();
}

} // namespace kalmora
