#include "lmScriptEngine.h"

#include "UtilBox/TextHelpers.h"

namespace kalmora {
namespace {

// Pops the run's list on every way out of Run.
class TInstanceListScope {
public:
    TInstanceListScope() { TManagedInterfaceWrapper::PushInstanceList(); }
    ~TInstanceListScope() { TManagedInterfaceWrapper::PopInstanceList(); }
    TInstanceListScope(const TInstanceListScope&) = delete;
    TInstanceListScope& operator=(const TInstanceListScope&) = delete;
};

} // namespace

TlmScriptEngine::TlmScriptEngine(void* owner) : TJvInterpreterProgram(owner) {
    OnGetValue = [this](TJvInterpreterProgram& sender, const std::string& identifier, Variant& value,
                        TJvInterpreterArgs& args,
                        bool& done) { ResolveIdentifier(sender, identifier, value, args, done); };
}

void TlmScriptEngine::ResolveIdentifier(TJvInterpreterProgram&, const std::string& identifier, Variant& value,
                                        TJvInterpreterArgs&, bool& done) {
    // No early exit: a later parameter of the same name overrides an earlier one.
    for (const TScriptParam& param : Params) {
        if (SameText(identifier, param.Name)) {
            value = param.Value;
            done = true;
        }
    }
}

void TlmScriptEngine::Run() {
    TInstanceListScope scope;
    TJvInterpreterProgram::Run();
}

} // namespace kalmora
