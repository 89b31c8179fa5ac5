#pragma once

// Carries one counted interface reference where only a plain object fits (a script's object value, say).

#include "Object.h"
#include "lmInterfaces.h"

namespace kalmora {

class TInterfaceWrapper : public TObject {
public:
    explicit TInterfaceWrapper(TIntfRef<IInterface> intf) : Intf(std::move(intf)) {}

    TIntfRef<IInterface> Intf;
};

} // namespace kalmora
