#pragma once

// Carries one counted interface reference where only a plain object fits (a script's object value, say).

#include "lmInterfaces.h"

namespace kalmora {

class TInterfaceWrapper {
public:
    explicit TInterfaceWrapper(TIntfRef<IInterface> intf) : Intf(std::move(intf)) {}
    TInterfaceWrapper(const TInterfaceWrapper&) = delete;
    TInterfaceWrapper& operator=(const TInterfaceWrapper&) = delete;
    virtual ~TInterfaceWrapper() = default;

    TIntfRef<IInterface> Intf;
};

} // namespace kalmora
