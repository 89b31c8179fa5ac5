#pragma once

// Wrappers for interfaces that a script run creates (the XML objects): each belongs to the list of the run
// that was current when it was made and is freed when that run ends. Runs nest; the innermost run's list is
// the last element of the process-wide stack. Main thread only.

#include "lmInterfaces/InterfaceWrapper.h"
#include "lmScriptEngine/XmlBuilder.h"
#include "runtime/Exceptions.h"

#include <vector>

namespace kalmora {

// A list that owns its objects: freeing it frees each object still in it, first to last.
class TObjectList {
public:
    TObjectList() = default;
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;
    ~TObjectList();

    void Add(TObject* object);
    // Takes the object out without freeing it; false when it is not in the list.
    bool Extract(const TObject* object) noexcept;
    int Count() const { return static_cast<int>(FItems.size()); }

private:
    std::vector<TObject*> FItems;
};

class TManagedInterfaceWrapper : public TInterfaceWrapper {
public:
    // Joins the current run's list, which owns it from then on; outside a run an assertion failure
    // (lmScriptEngine) and the wrapper is not kept. Create managed wrappers with new only.
    explicit TManagedInterfaceWrapper(TIntfRef<IInterface> intf);
    ~TManagedInterfaceWrapper() override;

    static void PushInstanceList();
    // Frees the innermost list; its slot is cleared first, so the objects being freed find no current list.
    static void PopInstanceList();
    // The innermost list; none while it is being freed. An assertion failure when no run is active.
    static TObjectList* CurrentInstanceList();
    static void RegisterInstance(TObject* instance);
    // Number of active runs.
    static int InstanceListDepth() noexcept;
    // Pops every list, innermost first (unit shut-down).
    static void ClearInstanceListStack() noexcept;
};

class TIXmlDocumentWrapper : public TManagedInterfaceWrapper {
public:
    using TManagedInterfaceWrapper::TManagedInterfaceWrapper;
};

class TIXmlNodeWrapper : public TManagedInterfaceWrapper {
public:
    using TManagedInterfaceWrapper::TManagedInterfaceWrapper;
};

// The interface `iid` of the wrapper `object` (any TInterfaceWrapper): none for none; EInvalidCast for
// another class; EInternalError "Interface is not available: " + displayName (or the identity in lower
// case without braces) when the wrapped interface does not answer.
TIntfRef<IInterface> UnwrapInterface(TObject* object, const TGUID& iid, std::string_view displayName);
TIntfRef<IXmlDocument> AsXmlDocument(TObject* object);
TIntfRef<IXmlNode> AsXmlNode(TObject* object);

// The host object behind a script's object reference: none for nil; EInvalidCast for a script object that is
// not one of the host's.
TObject* HostObject(TScriptObject* object);

// Unwrapping nil yields nil; a member cannot be called on nothing, so that is refused by name.
template <class I> TIntfRef<I> RequiredInterface(TIntfRef<I> intf, std::string_view what) {
    if (!intf)
        throw EInvalidPointer(std::string(what) + " is nil");
    return intf;
}

} // namespace kalmora
