#include "lmThreadManager/lmThreadManager.h"
#include "startup/UnitList.h"

#include <memory>

using namespace kalmora;

int main() {
    TUnitSession units;
    auto manager = std::make_unique<TThreadManager>();
    manager.reset();
    return 0;
}
