#pragma once

// A cursor over the VAT breakdown of one invoice (script type "TVatInfo"). It hands its query back to the
// database when it is destroyed.
//
// A cursor handed to a script belongs to the script's references to it: it lives while any script value
// refers to it and is freed with the last one. So a script that creates cursors in a loop does not pile them
// up until the run ends, and one kept in a variable stays valid as long as the variable holds it.

#include "ProductInterfaces.h"
#include "interpreter/Variant.h"
#include "lmInterfaces/Object.h"

#include <memory>

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

    // The cursor as a script value; from then on the script's references own it.
    static Variant ToScript(std::unique_ptr<TMwstInfo> info) noexcept;
    void ScriptAddRef() noexcept override { ++FScriptRefs; }
    void ScriptRelease() noexcept override;

private:
    int FScriptRefs = 0;
    bool FScriptOwned = false;
    TIntfRef<IlmQuery> FQuery;
    TIntfRef<IlmDatabase> FDatabase;
};

} // namespace kalmora
