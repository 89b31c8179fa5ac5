#pragma once

// A cursor over the VAT breakdown of one invoice (script type "TVatInfo"). It hands its query back to the
// database when it is destroyed.

#include "ProductInterfaces.h"
#include "lmInterfaces/Object.h"

namespace kalmora {

class TMwstInfo : public TObject {
public:
    TMwstInfo(TIntfRef<IlmQuery> query, TIntfRef<IlmDatabase> database);
    TMwstInfo(const TMwstInfo&) = delete;
    TMwstInfo& operator=(const TMwstInfo&) = delete;
    virtual ~TMwstInfo();

    struct TValues {
        TCurrency Rate;
        TCurrency Net;
        TCurrency Vat;
    };

    // Both move the cursor and answer whether a row is there.
    bool First();
    bool Next();
    // The current row's "mwstsatz", "netto" and "Mwst"; the cursor stays.
    TValues GetValues();

private:
    TIntfRef<IlmQuery> FQuery;
    TIntfRef<IlmDatabase> FDatabase;
};

} // namespace kalmora
