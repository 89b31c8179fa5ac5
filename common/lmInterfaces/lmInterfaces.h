#pragma once

// Objects that live by reference counting and are reached through interfaces with identities (GUIDs).
//
// An object is made with NewObject<T>(...) (count 0, to be Free()d or handed to a reference) or, usually,
// Make<T>(...) which hands it straight to a TIntfRef. While the constructor runs the count is held at 1, so a
// reference taken and dropped inside it does not destroy the half-built object. Ordinary code holds objects
// only through TIntfRef; no raw _AddRef/_Release.

#include "Guid.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace kalmora {

class IInterface {
public:
    static constexpr TGUID IID = GuidOf("{00000000-0000-0000-C000-000000000046}");

    // The object itself, with a reference taken, when it implements the interface `iid`; nullptr otherwise.
    virtual IInterface* QueryInterface(const TGUID& iid) noexcept = 0;
    virtual std::int32_t _AddRef() noexcept = 0;
    // Destroys the object when the count reaches 0.
    virtual std::int32_t _Release() noexcept = 0;

protected:
    virtual ~IInterface() = default;
};

// A counted reference to an interface or to a reference-counted class.
template <class T> class TIntfRef {
public:
    TIntfRef() noexcept = default;
    TIntfRef(std::nullptr_t) noexcept {}
    // Takes a new reference.
    explicit TIntfRef(T* object) noexcept : FPtr(object) {
        if (FPtr)
            FPtr->_AddRef();
    }
    TIntfRef(const TIntfRef& other) noexcept : TIntfRef(other.FPtr) {}
    TIntfRef(TIntfRef&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> TIntfRef(const TIntfRef<U>& other)
    noexcept : TIntfRef(other.get()) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> TIntfRef(TIntfRef<U>&& other)
    noexcept : FPtr(other.Detach()) {}
    ~TIntfRef() { reset(); }

    TIntfRef& operator=(TIntfRef other) noexcept {
        std::swap(FPtr, other.FPtr);
        return *this;
    }

    // Takes over a reference that was already counted for the caller.
    static TIntfRef Adopt(T* object) noexcept {
        TIntfRef ref;
        ref.FPtr = object;
        return ref;
    }
    // Gives up the reference without dropping it.
    T* Detach() noexcept { return std::exchange(FPtr, nullptr); }

    void reset() noexcept {
        if (T* old = std::exchange(FPtr, nullptr))
            old->_Release();
    }
    T* get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    T& operator*() const noexcept { return *FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    friend bool operator==(const TIntfRef& a, const TIntfRef& b) noexcept { return a.FPtr == b.FPtr; }

private:
    T* FPtr = nullptr;
};

// The interface I of `object` (which may be none), or none when the object does not answer I's identity.
template <class I, class T> TIntfRef<I> Supports(T* object) noexcept {
    if (!object)
        return {};
    auto answer = TIntfRef<IInterface>::Adopt(object->QueryInterface(I::IID));
    return TIntfRef<I>(dynamic_cast<I*>(answer.get()));
}
template <class I, class T> TIntfRef<I> Supports(const TIntfRef<T>& object) noexcept {
    return Supports<I>(object.get());
}

// The platform's reference-counted object.
class TInterfacedObject : public virtual IInterface {
public:
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;

    IInterface* QueryInterface(const TGUID& iid) noexcept final;
    std::int32_t _AddRef() noexcept final;
    std::int32_t _Release() noexcept final;
    std::int32_t RefCount() const noexcept { return FRefCount.load(); }

    // Explicit destruction of an object nobody references; EInvalidPointer while the count is not 0.
    void Free();

    template <class T, class... Args> friend T* NewObject(Args&&... args);

protected:
    TInterfacedObject() noexcept = default;
    ~TInterfacedObject() override = default;

    // Subclasses answer their own interfaces and ask their base for the rest.
    virtual bool Implements(const TGUID& iid) const noexcept;
    // Runs once before the destructor, while the count is held at 1.
    virtual void BeforeDestruction() noexcept {}

private:
    void Destroy() noexcept;

    std::atomic<std::int32_t> FRefCount{1};
};

template <class T, class... Args> T* NewObject(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->FRefCount.fetch_sub(1);
    return object;
}

template <class T, class... Args> TIntfRef<T> Make(Args&&... args) {
    return TIntfRef<T>(NewObject<T>(std::forward<Args>(args)...));
}

class ICommon : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{F444A855-6AE7-4C02-B1C4-481EC270DDE0}");

    virtual bool IsDisposed() const noexcept = 0;
    // Releases what the object holds before its last reference is dropped.
    virtual void Dispose() = 0;
    virtual std::int32_t GetRefCount() const noexcept = 0;
};

// Base of the system's counted objects: Dispose runs once, early through ICommon or when the last reference
// goes. A subclass that owns resources overrides Dispose, releases them and then calls the inherited Dispose;
// it must not raise.
class TlmInterfacedObject : public TInterfacedObject, public ICommon {
public:
    bool IsDisposed() const noexcept override { return FDisposed; }
    void Dispose() override { FDisposed = true; }
    std::int32_t GetRefCount() const noexcept override { return RefCount(); }

protected:
    TlmInterfacedObject() noexcept = default;
    bool Implements(const TGUID& iid) const noexcept override;
    void BeforeDestruction() noexcept override;

private:
    bool FDisposed = false;
};

} // namespace kalmora
