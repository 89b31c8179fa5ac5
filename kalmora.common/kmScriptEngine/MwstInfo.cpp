#include "MwstInfo.h"

namespace kalmora {

TMwstInfo::TMwstInfo(TIntfRef<IlmQuery> query, TIntfRef<IlmDatabase> database)
    : FQuery(std::move(query)), FDatabase(std::move(database)) {}

TMwstInfo::~TMwstInfo() {
    if (!FDatabase || !FQuery)
        return;
    try {
        FDatabase->ReleaseQuery(FQuery);
    } catch (...) {
        // A destructor has nobody to report to; the query reference goes with this object.
    }
}

Variant TMwstInfo::AdoptByScript(std::unique_ptr<TMwstInfo> info) noexcept {
    if (!info)
        return {};
    info->FScriptOwned = true;
    return Variant::FromObject(info.release());
}

void TMwstInfo::ScriptRelease() noexcept {
    // A cursor that a host keeps itself is only referred to by script values, never freed by them.
    if (--FScriptRefs == 0 && FScriptOwned)
        delete this;
}

bool TMwstInfo::First() {
    FQuery->First();
    return !FQuery->Eof();
}

bool TMwstInfo::Next() {
    FQuery->Next();
    return !FQuery->Eof();
}

TMwstInfo::TValues TMwstInfo::GetValues() {
    return {FQuery->FieldAsCurrency("mwstsatz"), FQuery->FieldAsCurrency("netto"),
            FQuery->FieldAsCurrency("Mwst")};
}

} // namespace kalmora
