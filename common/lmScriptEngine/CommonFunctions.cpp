#include "CommonFunctions.h"

#include "VocabularyGroups.h"

namespace kalmora {

void RegisterCommonFunctions(TJvInterpreterAdapter& registry) {
    RegisterDialogConstants(registry);
    RegisterDialogFunctions(registry);
    RegisterTextFunctions(registry);
    RegisterDateFunctions(registry);
    RegisterSystemFunctions(registry);
    RegisterFileFunctions(registry);
}

} // namespace kalmora
