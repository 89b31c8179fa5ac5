#include "UtilBoxUnit.h"

#include "Registry.h"
#include "runtime/FormatSettings.h"

namespace kalmora {

void StartUtilBox() {
    LoadUserFormatSettings();
}

void StopUtilBox() {
    ResetStandardRegistryRoot();
}

} // namespace kalmora
