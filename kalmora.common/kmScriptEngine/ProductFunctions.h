#pragma once

// The product's script vocabulary under the unit "Kalmora": the report, invoice, VAT cursor, payment and
// fiscalisation types with their members, and the payment-method constants. Start-up adds it to the
// interpreter's global registry once, after the generic vocabulary. Main thread only.

#include "interpreter/InterpreterAdapter.h"

namespace kalmora {

void RegisterProductFunctions(TJvInterpreterAdapter& registry);

} // namespace kalmora
