#include "CloseSignals.h"
#include "InstallationId.h"
#include "SingleInstance.h"
#include "UpdaterProgram.h"
#include "UtilBox/Registry.h"
#include "kmbpShared/UpdateKinds.h"
#include "lmDebug/lmDebug.h"
#include "startup/UnitList.h"

using namespace kalmora;

int main() {
    InstallCloseSignalHandlers();
    TUnitSession units;
    SetStandardRegistryRoot("Software\\Kalmora");

    TSingleInstanceLock lock(GetConfigDir());
    if (!lock.Acquired()) {
        DebugLog("Another Online-Updater is running for this installation.", {}, 2);
        return 0;
    }

    auto manager = StartUpdate(GetInstallationId());
    WaitForUpdateWithoutWindow(*manager);
    CloseUpdate(manager);
    return 0;
}
