#pragma once

// Turns a script source into its compiled tree in one pass: names are bound as they are read, in the order
// script names, the program's registry (own), the global registry, and otherwise left to OnGetValue.

#include "ScriptNodes.h"

#include <string_view>

namespace kalmora::script {

// Raises EScriptError with line and column for any fault of the source. Either registry may be none.
std::unique_ptr<TCompiledScript> CompileScript(std::string_view source, const TJvInterpreterAdapter* own,
                                               const TJvInterpreterAdapter* global,
                                               const TScriptLimits& limits);

} // namespace kalmora::script
