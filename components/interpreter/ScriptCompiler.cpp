#include "ScriptCompiler.h"

#include "ScriptExceptions.h"
#include "ScriptParser.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {
TCompiledScript::~TCompiledScript() = default;

std::unique_ptr<TCompiledScript> TScriptParser::Compile() {
    FScript->Exceptions = std::make_unique<TExceptionTree>(FOwn, FGlobal);
    if (Accept(TTok::KwProgram)) {
        ExpectIdent();
        Expect(TTok::Semicolon);
    }
    ParseUses();
    ParseDeclarations();
    const TToken& begin = Expect(TTok::KwBegin);
    FScript->Main = ParseBlockRest(begin, TTok::KwEnd);
    Expect(TTok::KwEnd);
    Expect(TTok::Dot);
    for (const auto& routine : FScript->Routines)
        if (!routine->Defined)
            throw EScriptError("Unsatisfied forward declaration of '" + routine->Name + "'", routine->Line,
                               routine->Column);
    return std::move(FScript);
}

const TToken& TScriptParser::Peek(std::size_t ahead) const {
    return FTokens[std::min(FPos + ahead, FTokens.size() - 1)];
}

const TToken& TScriptParser::Next() {
    const TToken& current = FTokens[FPos];
    if (FPos + 1 < FTokens.size())
        ++FPos;
    return current;
}

bool TScriptParser::Accept(TTok kind) {
    if (Tok().Kind != kind)
        return false;
    Next();
    return true;
}

const TToken& TScriptParser::Expect(TTok kind) {
    if (Tok().Kind != kind)
        Error(TokenName(kind) + " expected but " + Found() + " found", Tok());
    return Next();
}

std::string TScriptParser::Found() const {
    const TToken& t = Tok();
    if (t.Kind == TTok::Identifier)
        return "identifier '" + t.Text + "'";
    return TokenName(t.Kind);
}

[[noreturn]] void TScriptParser::Error(const std::string& message, const TToken& at) const {
    throw EScriptError(message, at.Line, at.Column);
}

[[noreturn]] void TScriptParser::Error(const std::string& message, const TNode& at) const {
    throw EScriptError(message, at.Line, at.Column);
}

void TScriptParser::ParseUses() {
    if (!Accept(TTok::KwUses))
        return;
    do
        ExpectIdent();
    while (Accept(TTok::Comma));
    Expect(TTok::Semicolon);
}

void TScriptParser::ParseDeclarations() {
    for (;;) {
        switch (Tok().Kind) {
        case TTok::KwConst:
            Next();
            do
                ParseConst();
            while (Tok().Kind == TTok::Identifier);
            break;
        case TTok::KwVar:
            Next();
            do
                ParseVar();
            while (Tok().Kind == TTok::Identifier);
            break;
        case TTok::KwProcedure:
        case TTok::KwFunction:
            ParseRoutine();
            break;
        case TTok::KwType:
            Error("Type declarations are not supported", Tok());
        default:
            return;
        }
    }
}

void TScriptParser::Declare(const TToken& name, TSymbol symbol) {
    TScope& scope = Scope();
    if (scope.count(name.Lower))
        Error("Identifier redeclared: '" + name.Text + "'", name);
    scope.emplace(name.Lower, std::move(symbol));
}

TScriptParser::TSymbol TScriptParser::NewVariable(TTypeKind type, const TTypeInfo* info) {
    TSymbol symbol;
    symbol.Kind = TSymKind::Var;
    symbol.Type = type;
    symbol.Info = info;
    if (FRoutine) {
        symbol.Place = {TAccess::Local, FRoutine->Level, static_cast<int>(FRoutine->VarTypes.size())};
        FRoutine->VarTypes.push_back(type);
    } else {
        symbol.Place = {TAccess::Global, 0, static_cast<int>(FScript->GlobalTypes.size())};
        FScript->GlobalTypes.push_back(type);
    }
    return symbol;
}

void TScriptParser::ParseConst() {
    const TToken& name = ExpectIdent();
    const TTypeInfo* type = nullptr;
    if (Accept(TTok::Colon))
        type = ParseType();
    Expect(TTok::Equal);
    TSymbol symbol;
    symbol.Kind = TSymKind::Const;
    symbol.Value = type ? ParseInitialValue(*type) : ParseConstValue();
    Expect(TTok::Semicolon);
    Declare(name, std::move(symbol));
}

void TScriptParser::ParseVar() {
    std::vector<const TToken*> names{&ExpectIdent()};
    while (Accept(TTok::Comma))
        names.push_back(&ExpectIdent());
    Expect(TTok::Colon);
    const TTypeInfo* type = ParseType();
    Variant init = type->Init;
    if (Tok().Kind == TTok::Equal) {
        if (names.size() != 1)
            Error("Only one variable can be initialised at a time", Tok());
        Next();
        init = ParseInitialValue(*type);
    }
    Expect(TTok::Semicolon);
    for (const TToken* name : names) {
        TSymbol symbol = NewVariable(type->Kind, type);
        if (!init.IsEmpty()) {
            if (FRoutine)
                FRoutine->Inits.emplace_back(symbol.Place.Slot, init);
            else
                FScript->GlobalInits.emplace_back(symbol.Place.Slot, init);
        }
        Declare(*name, std::move(symbol));
    }
}

void TScriptParser::ParseRoutine() {
    TNestGuard guard(*this); // routines nest, and so does the parser compiling them
    bool isFunction = Next().Kind == TTok::KwFunction;
    const TToken& name = ExpectIdent();
    std::vector<TParam> params;
    if (Accept(TTok::LParen) && !Accept(TTok::RParen)) {
        do {
            bool byRef = Accept(TTok::KwVar) || Accept(TTok::KwOut);
            if (!byRef)
                Accept(TTok::KwConst);
            std::vector<const TToken*> names{&ExpectIdent()};
            while (Accept(TTok::Comma))
                names.push_back(&ExpectIdent());
            const TTypeInfo* type = Accept(TTok::Colon) ? ParseType() : nullptr;
            for (const TToken* paramName : names)
                params.push_back({paramName->Lower, type ? type->Kind : TTypeKind::Variant, byRef, type});
        } while (Accept(TTok::Semicolon));
        Expect(TTok::RParen);
    }
    const TTypeInfo* resultType = nullptr;
    if (isFunction) {
        Expect(TTok::Colon);
        resultType = ParseType();
    }
    Expect(TTok::Semicolon);

    TRoutine* routine = nullptr;
    auto existing = Scope().find(name.Lower);
    if (existing != Scope().end()) {
        TRoutine* earlier = existing->second.Routine;
        if (!earlier || earlier->Defined || earlier->IsFunction != isFunction ||
            !SameParams(earlier->Params, params))
            Error("Identifier redeclared: '" + name.Text + "'", name);
        routine = earlier;
    } else {
        auto owned = std::make_unique<TRoutine>();
        routine = owned.get();
        FScript->Routines.push_back(std::move(owned));
        routine->Name = name.Text;
        routine->IsFunction = isFunction;
        routine->Line = name.Line;
        routine->Column = name.Column;
        routine->Level = Level() + 1;
        if (FRoutine)
            FRoutine->Encloses = true;
        routine->Params = std::move(params);
        if (resultType) {
            routine->ResultType = resultType->Kind;
            routine->ResultInfo = resultType;
        }
        for (const TParam& param : routine->Params) {
            if (param.ByRef) {
                routine->ParamSlots.push_back(routine->RefCount++);
            } else {
                routine->ParamSlots.push_back(static_cast<int>(routine->VarTypes.size()));
                routine->VarTypes.push_back(param.Type);
            }
        }
        routine->FirstLocal = static_cast<int>(routine->VarTypes.size());
        if (isFunction) {
            routine->ResultSlot = static_cast<int>(routine->VarTypes.size());
            routine->VarTypes.push_back(routine->ResultType);
        }
        TSymbol symbol;
        symbol.Kind = TSymKind::Routine;
        symbol.Routine = routine;
        Scope().emplace(name.Lower, std::move(symbol));
    }
    if (Accept(TTok::KwForward)) {
        Expect(TTok::Semicolon);
        return;
    }

    routine->Defined = true;
    TRoutine* parent = FRoutine;
    FRoutine = routine;
    FLevels.push_back({{}, routine});
    FScript->MaxLevel = std::max(FScript->MaxLevel, routine->Level);
    for (std::size_t i = 0; i < routine->Params.size(); ++i) {
        const TParam& param = routine->Params[i];
        TSymbol symbol;
        symbol.Place = {param.ByRef ? TAccess::Ref : TAccess::Local, routine->Level, routine->ParamSlots[i]};
        symbol.Type = param.Type;
        symbol.Info = param.Info;
        if (!Scope().emplace(param.Name, std::move(symbol)).second)
            Error("Identifier redeclared: '" + param.Name + "'", name);
    }
    if (isFunction) {
        TSymbol symbol;
        symbol.Place = {TAccess::Local, routine->Level, routine->ResultSlot};
        symbol.Type = routine->ResultType;
        symbol.Info = routine->ResultInfo;
        Scope().emplace("result", std::move(symbol));
    }
    ParseDeclarations();
    const TToken& begin = Expect(TTok::KwBegin);
    routine->Body = ParseBlockRest(begin, TTok::KwEnd);
    Expect(TTok::KwEnd);
    Expect(TTok::Semicolon);
    FLevels.pop_back();
    FRoutine = parent;

    // Every slot after the parameters starts with its type's value or its declared initial value.
    for (std::size_t slot = static_cast<std::size_t>(routine->FirstLocal); slot < routine->VarTypes.size();
         ++slot)
        routine->Initial.push_back(DefaultOf(routine->VarTypes[slot]));
    for (const auto& [slot, value] : routine->Inits)
        routine->Initial[static_cast<std::size_t>(slot - routine->FirstLocal)] = value;
    routine->FrameSize = routine->VarTypes.size();
}

bool TScriptParser::SameParams(const std::vector<TParam>& a, const std::vector<TParam>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].ByRef != b[i].ByRef || a[i].Type != b[i].Type)
            return false;
    return true;
}

std::optional<TScriptParser::TSymbol> TScriptParser::Lookup(const std::string& lower) const {
    for (int level = Level(); level >= 0; --level) {
        const TScope& names = FLevels[static_cast<std::size_t>(level)].Names;
        auto it = names.find(lower);
        if (it == names.end())
            continue;
        TSymbol symbol = it->second;
        // An enclosing routine's variable: reached through the display at that routine's level.
        if (symbol.Kind == TSymKind::Var && level > 0 && level < Level())
            symbol.Place.Access = symbol.Place.Access == TAccess::Ref ? TAccess::OuterRef : TAccess::Outer;
        return symbol;
    }
    return std::nullopt;
}

std::unique_ptr<TCompiledScript> CompileScript(std::string_view source, const TJvInterpreterAdapter* own,
                                               const TJvInterpreterAdapter* global,
                                               const TScriptLimits& limits) {
    if (source.size() > limits.MaxSourceBytes)
        throw EScriptError("Source larger than " + std::to_string(limits.MaxSourceBytes) + " bytes", 1, 1);
    return TScriptParser(source, own, global, limits).Compile();
}

} // namespace kalmora::script
