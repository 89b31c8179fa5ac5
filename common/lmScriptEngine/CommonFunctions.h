#pragma once

// The generic script vocabulary: dialog constants, dialog, text, number, date and file functions
// (RegisterCommonFunctions) and the utilities with the small XML builder (RegisterUtilFunctions). Both add
// to the registry they are given, in a fixed order; start-up runs them once on the interpreter's global
// registry, the first before the second. Main thread only.

#include "interpreter/InterpreterAdapter.h"

namespace kalmora {

void RegisterCommonFunctions(TJvInterpreterAdapter& registry);
void RegisterUtilFunctions(TJvInterpreterAdapter& registry);

} // namespace kalmora
