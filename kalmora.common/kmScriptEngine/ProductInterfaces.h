#pragma once

// The product's host interfaces that scripts reach through the engine's product objects. Other product
// programs implement them; scripts call only these operations.

#include "lmInterfaces/lmInterfaces.h"
#include "lmScriptEngine/ScriptTypes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kalmora {

class TMwstInfo;

class IStandardReports : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{6D1E86FF-CB89-4BD9-AFBB-559616B8E66B}");
    virtual void SetColWidth(std::int32_t col, std::int32_t width) = 0;
    virtual std::string GetParam(const std::string& name) = 0;
};

class IRechnung : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{1D6D3CF8-17ED-4A84-862B-CD63E46778FF}");
    // A new cursor over the invoice's VAT breakdown; the caller owns it.
    virtual std::unique_ptr<TMwstInfo> CreateMwstInfo() = 0;
    virtual std::string GetNumber() = 0;
    virtual std::int32_t GetBasicNumber() = 0;
    virtual TDateTime GetDate() = 0;
    virtual TCurrency GetTotalAmount() = 0;
};

// Payment method codes as the product stores them (one byte).
enum class TPayMethod : std::uint8_t { pmCash, pmCheque, pmTransferal, pmCard, pmNone, pmOther };

class IZahlungseingang : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{C89478E4-1927-4558-86EC-0A41C5F0C1FA}");
    // The stored code; values beyond pmOther may occur and are passed on unchanged.
    virtual std::uint8_t GetPayMethod() = 0;
    virtual TCurrency GetPaid() = 0;
    virtual TDateTime GetDate() = 0;
};

class IFiscalization : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{51509B48-2AC8-482A-94BC-F2E969377718}");
    virtual std::string GenerateUniqueId() = 0;
    // Either argument may be none.
    virtual std::string GenerateSecurityCode(const TIntfRef<IRechnung>& invoice,
                                             const TIntfRef<IZahlungseingang>& payment) = 0;
    virtual std::string GetTransferFilename() = 0;
    virtual std::string GetFiscalIdPractice() = 0;
    virtual std::string GetFiscalIdUser() = 0;
    virtual std::string GetBusinessId() = 0;
    virtual std::string GetDeviceId() = 0;
    virtual std::string GetPassword() = 0;
    virtual std::string GetCertificateFile() = 0;
};

// An open result set of the product database.
class IlmQuery : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{8B0C3E52-57A4-4F4B-9E61-2C7D5A1F0B93}");
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool Eof() = 0;
    // The named column of the current row as currency.
    virtual TCurrency FieldAsCurrency(const std::string& fieldName) = 0;
};

class IlmDatabase : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{E2A7F4C1-0D36-4B8E-A5F9-7136C2B84D05}");
    // Takes the query back; `query` is none afterwards.
    virtual void ReleaseQuery(TIntfRef<IlmQuery>& query) = 0;
};

} // namespace kalmora
