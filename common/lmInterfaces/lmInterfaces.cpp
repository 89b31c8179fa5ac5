#include "lmInterfaces.h"

#include "runtime/Exceptions.h"

namespace kalmora {

IInterface* TInterfacedObject::QueryInterface(const TGUID& iid) noexcept {
    if (!Implements(iid))
        return nullptr;
    _AddRef();
    return this;
}

bool TInterfacedObject::Implements(const TGUID& iid) const noexcept {
    return SameGuid(iid, IInterface::IID);
}

std::int32_t TInterfacedObject::_AddRef() noexcept {
    return FRefCount.fetch_add(1) + 1;
}

std::int32_t TInterfacedObject::_Release() noexcept {
    std::int32_t count = FRefCount.fetch_sub(1) - 1;
    if (count == 0)
        Destroy();
    return count;
}

void TInterfacedObject::Free() {
    if (FRefCount.load() != 0)
        throw EInvalidPointer("Invalid pointer operation");
    Destroy();
}

void TInterfacedObject::Destroy() noexcept {
    // Held at 1 so that references taken and dropped by the last work cannot destroy the object twice.
    FRefCount.store(1);
    BeforeDestruction();
    FRefCount.store(0);
    delete this;
}

bool TlmInterfacedObject::Implements(const TGUID& iid) const noexcept {
    return SameGuid(iid, ICommon::IID) || TInterfacedObject::Implements(iid);
}

void TlmInterfacedObject::BeforeDestruction() noexcept {
    if (!FDisposed)
        Dispose();
}

} // namespace kalmora
