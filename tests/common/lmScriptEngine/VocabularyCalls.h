#pragma once

// Calls into a registry filled with the common vocabulary the way the interpreter makes them: the entry
// looked up by name, its host function given a result and the arguments by position.

#include "interpreter/InterpreterAdapter.h"
#include "lmScriptEngine/CommonFunctions.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalmora::test {

struct TVocabularyCall {
    Variant Result;
    TJvInterpreterArgs Args; // by-reference arguments hold what the script variable receives
};

class TVocabulary {
public:
    TVocabulary() {
        RegisterCommonFunctions(FRegistry);
        RegisterUtilFunctions(FRegistry);
    }

    const TJvInterpreterAdapter& Registry() const { return FRegistry; }

    TVocabularyCall Call(std::string_view name, std::vector<Variant> args) const {
        const TAdapterEntry* entry = FRegistry.FindName(name);
        if (!entry || entry->Kind != TAdapterEntryKind::Function)
            throw std::logic_error("no function " + std::string(name));
        if (entry->ParamCount != static_cast<int>(args.size()))
            throw std::logic_error(std::string(name) + " takes " + std::to_string(entry->ParamCount));
        TVocabularyCall call;
        call.Args.Values = std::move(args);
        entry->Function(call.Result, call.Args);
        return call;
    }

    Variant operator()(std::string_view name, std::vector<Variant> args = {}) const {
        return Call(name, std::move(args)).Result;
    }

    // A member call on `object`, dispatched by its class as the interpreter does.
    Variant Member(TScriptObject* object, std::string_view name, std::vector<Variant> args = {}) const {
        for (const TAdapterEntry* entry : FRegistry.FindMembers(name)) {
            if (!entry->Class.IsInstance(object))
                continue;
            if (entry->ParamCount != static_cast<int>(args.size()))
                throw std::logic_error(std::string(name) + " takes " + std::to_string(entry->ParamCount));
            TVocabularyCall call;
            call.Args.Values = std::move(args);
            call.Args.FObj = object;
            entry->Function(call.Result, call.Args);
            return call.Result;
        }
        throw std::logic_error("no member " + std::string(name) + " for this object");
    }

private:
    TJvInterpreterAdapter FRegistry;
};

} // namespace kalmora::test
