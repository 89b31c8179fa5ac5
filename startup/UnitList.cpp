#include "UnitList.h"

#include "UtilBox/UtilBoxUnit.h"
#include "interpreter/InterpreterAdapter.h"
#include "kmScriptEngine/ProductFunctions.h"
#include "lmDebug/lmDebug.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "lmScriptEngine/ManagedWrapper.h"

#include <cstdio>
#include <exception>

namespace kalmora {
namespace {

// Units whose only own work is to report their end to the debug log.
TUnit ReportingUnit(std::string name) {
    TUnit unit{name, {}, {}};
    unit.Shutdown = [name] { DebugLog("Finalize " + name, {}, DebugFlags::Lifecycle); };
    return unit;
}

void StartLmScriptEngine() {
    RegisterCommonFunctions(GlobalRegistry());
    RegisterUtilFunctions(GlobalRegistry());
}

void StartKmScriptEngine() {
    RegisterProductFunctions(GlobalRegistry());
}

} // namespace

void TUnitList::Startup() {
    for (auto& unit : FUnits) {
        if (unit.Counter-- == 0 && unit.Startup)
            unit.Startup();
    }
}

void TUnitList::Shutdown() noexcept {
    for (auto it = FUnits.rbegin(); it != FUnits.rend(); ++it) {
        if (it->Counter++ == -1 && it->Shutdown) {
            try {
                it->Shutdown();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "shut-down of %s failed: %s\n", it->Name.c_str(), e.what());
            }
        }
    }
}

TUnitList& ProgramUnits() {
    static TUnitList units({
        {"lmDebug", StartDebugLog, StopDebugLog},
        {"UtilBox", StartUtilBox, StopUtilBox},
        ReportingUnit("lmdbStd"),
        ReportingUnit("lmDbObjects"),
        ReportingUnit("ComUnit2"),
        // The interpreter stops after both script units, so the registry they fill is freed last.
        {"JvInterpreter", {}, FinalizeInterpreter},
        {"lmScriptEngine", StartLmScriptEngine, TManagedInterfaceWrapper::ClearInstanceListStack},
        {"kmScriptEngine", StartKmScriptEngine, {}},
        ReportingUnit("kmKartenzahlung"),
        ReportingUnit("kmWaren"),
        ReportingUnit("kmBaseDb"),
    });
    return units;
}

} // namespace kalmora
