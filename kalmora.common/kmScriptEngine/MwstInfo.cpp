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

Variant TMwstInfo::ToScript(std::unique_ptr<TMwstInfo> info) noexcept {
    if (!info)
        return {};
    info->FScriptOwned = true;
    return Variant::FromObject(info.release());
}

void TMwstInfo::ScriptRelease() noexcept {
    // A cursor the host still owns is only counted, never freed here.
    if (--FScriptRefs == 0 && FScriptOwned)
        delete this;
}

} // namespace kalmora
