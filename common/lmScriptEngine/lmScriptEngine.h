#pragma once

// The script program that hosts use: named parameters a script reads by name, and one instance list per run
// so that the wrapped objects a run creates (the XML builder's) are freed when that run ends, also when it
// ends with an error. Main thread only.

#include "interpreter/InterpreterProgram.h"
#include "lmScriptEngine/ManagedWrapper.h"

#include <string>
#include <vector>

namespace kalmora {

struct TScriptParam {
    std::string Name; // compared without regard to letter case
    Variant Value;
};

// Names need not be unique; of several with the same name the last one counts.
using TScriptParamArray = std::vector<TScriptParam>;

class TlmScriptEngine : public TJvInterpreterProgram {
public:
    // Attaches ResolveIdentifier to OnGetValue; a host that replaces the handler takes over resolution.
    explicit TlmScriptEngine(void* owner = nullptr);

    TScriptParamArray Params;

    // OnGetValue's handler: a parameter of that name (ASCII case folding, the last match wins) sets Value
    // and Done; otherwise both stay as they are and the name stays unresolved.
    virtual void ResolveIdentifier(TJvInterpreterProgram& sender, const std::string& identifier,
                                   Variant& value, TJvInterpreterArgs& args, bool& done);

    // Runs the program inside its own instance list, which is freed afterwards whatever the outcome.
    void Run() override;

    static TIntfRef<IInterface> UnwrapInterface(TObject* object, const TGUID& iid,
                                                std::string_view displayName) {
        return kalmora::UnwrapInterface(object, iid, displayName);
    }
    static TIntfRef<IXmlDocument> AsXmlDocument(TObject* object) { return kalmora::AsXmlDocument(object); }
    static TIntfRef<IXmlNode> AsXmlNode(TObject* object) { return kalmora::AsXmlNode(object); }
};

} // namespace kalmora
