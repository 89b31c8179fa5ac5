#pragma once

// The script program object of the shared library: the interpreter's program with named parameters that a
// script reads as plain identifiers, and one instance list per run, so that the wrappers a run creates (the
// XML objects) are freed when that run ends, also when it ends with an error. Main thread only.

#include "interpreter/InterpreterProgram.h"
#include "lmScriptEngine/ManagedWrapper.h"

#include <string>
#include <vector>

namespace kalmora {

struct TScriptParam {
    std::string Name; // compared without regard to ASCII letter case
    Variant Value;
};

// Names need not be unique: of several matching entries the last one wins.
using TScriptParamArray = std::vector<TScriptParam>;

class TlmScriptEngine : public TJvInterpreterProgram {
public:
    // Attaches ResolveIdentifier to OnGetValue, so that identifiers no registry knows reach the engine.
    explicit TlmScriptEngine(void* owner = nullptr);

    TScriptParamArray Params;

    // Runs the program inside a fresh instance list, which is freed however the run ends.
    void Run() override;

    // OnGetValue's handler: sets value and done for a matching parameter, else leaves both untouched.
    virtual void ResolveIdentifier(TJvInterpreterProgram& sender, const std::string& identifier,
                                   Variant& value, TJvInterpreterArgs& args, bool& done);

    static TIntfRef<IInterface> UnwrapInterface(TObject* object, const TGUID& iid,
                                                std::string_view displayName);
    static TIntfRef<IXmlDocument> AsXmlDocument(TObject* object);
    static TIntfRef<IXmlNode> AsXmlNode(TObject* object);
};

// The object a script value refers to as a host object (none for an empty value); EInvalidCast for a value
// that is no object, or an object the host did not make.
TObject* ScriptArgObject(const Variant& value);

} // namespace kalmora
