#include "lmScriptEngine.h"

#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

namespace kalmora {

TlmScriptEngine::TlmScriptEngine(void* owner) : TJvInterpreterProgram(owner) {
    OnGetValue = [this](TJvInterpreterProgram& sender, const std::string& identifier, Variant& value,
                        TJvInterpreterArgs& args,
                        bool& done) { ResolveIdentifier(sender, identifier, value, args, done); };
}

void TlmScriptEngine::Run() {
    TManagedInterfaceWrapper::PushInstanceList();
    try {
        TJvInterpreterProgram::Run();
    } catch (...) {
        TManagedInterfaceWrapper::PopInstanceList();
        throw;
    }
    TManagedInterfaceWrapper::PopInstanceList();
}

void TlmScriptEngine::ResolveIdentifier(TJvInterpreterProgram&, const std::string& identifier, Variant& value,
                                        TJvInterpreterArgs&, bool& done) {
    // No early exit: a host may append a parameter to override an earlier one of the same name.
    const std::string wanted = LowerCaseAscii(identifier);
    for (const TScriptParam& param : Params) {
        if (LowerCaseAscii(param.Name) == wanted) {
            value = param.Value;
            done = true;
        }
    }
}

TIntfRef<IInterface> TlmScriptEngine::UnwrapInterface(TObject* object, const TGUID& iid,
                                                      std::string_view displayName) {
    return kalmora::UnwrapInterface(object, iid, displayName);
}

TIntfRef<IXmlDocument> TlmScriptEngine::AsXmlDocument(TObject* object) {
    return kalmora::AsXmlDocument(object);
}

TIntfRef<IXmlNode> TlmScriptEngine::AsXmlNode(TObject* object) {
    return kalmora::AsXmlNode(object);
}

TObject* ScriptArgObject(const Variant& value) {
    return HostObject(value.AsObject());
}

} // namespace kalmora
