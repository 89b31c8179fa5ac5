#include "UtilBox/Registry.h"
#include "lmThreadManager/lmThreadManager.h"
#include "startup/UnitList.h"

#include <memory>

using namespace kalmora;

int main() {
    TUnitSession units;
    SetStandardRegistryRoot("Software\\Kalmora");
    auto manager = std::make_unique<TThreadManager>();
    manager.reset();
    return 0;
}
