#include "UtilBoxUnit.h"

#include "runtime/FormatSettings.h"

namespace kalmora {

void StartUtilBox() {
    LoadUserFormatSettings();
}

void StopUtilBox() {}

} // namespace kalmora
