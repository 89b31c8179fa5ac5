#pragma once

// Host objects as scripts see them. A variant carries an object reference as a plain TScriptObject pointer
// and calls ScriptAddRef/ScriptRelease when it takes or drops one. Objects with one owner (the engine's
// product wrappers, the wrappers on a run's instance list) keep the no-op defaults: the variant then does not
// keep them alive, exactly like an object reference in a Delphi variant. Reference-counted host objects
// override the two operations with their own counting, so that a script holding one keeps it alive.

#include <typeinfo>

namespace kalmora {

class TScriptObject {
public:
    virtual ~TScriptObject() = default;
    virtual void ScriptAddRef() noexcept {}
    virtual void ScriptRelease() noexcept {}
};

// A host class as the registry knows it: its type, and a test whether an object is of it or derived from it
// (members registered on a base class are found on derived classes through this test).
struct TScriptClass {
    const std::type_info* Type = nullptr;
    bool (*IsInstance)(const TScriptObject*) = nullptr;

    template <class T> static TScriptClass Of() {
        return {&typeid(T), [](const TScriptObject* obj) { return dynamic_cast<const T*>(obj) != nullptr; }};
    }
};

} // namespace kalmora
