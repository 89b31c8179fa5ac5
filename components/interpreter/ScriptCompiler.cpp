#include "ScriptCompiler.h"

#include "ScriptParser.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {
namespace {

TTypeKind TypeKindOf(const std::string& lower) {
    static const std::unordered_map<std::string, TTypeKind> names = {
        {"integer", TTypeKind::Integer},   {"longint", TTypeKind::Integer},
        {"smallint", TTypeKind::Integer},  {"shortint", TTypeKind::Integer},
        {"byte", TTypeKind::Integer},      {"word", TTypeKind::Integer},
        {"cardinal", TTypeKind::Integer},  {"longword", TTypeKind::Integer},
        {"string", TTypeKind::String},     {"char", TTypeKind::String},
        {"ansistring", TTypeKind::String}, {"widestring", TTypeKind::String},
        {"ansichar", TTypeKind::String},   {"shortstring", TTypeKind::String},
        {"boolean", TTypeKind::Boolean},   {"double", TTypeKind::Double},
        {"extended", TTypeKind::Double},   {"real", TTypeKind::Double},
        {"single", TTypeKind::Double},     {"currency", TTypeKind::Currency},
        {"tdatetime", TTypeKind::Date},    {"tdate", TTypeKind::Date},
        {"ttime", TTypeKind::Date},
    };
    auto it = names.find(lower);
    return it == names.end() ? TTypeKind::Variant : it->second;
}

} // namespace

std::unique_ptr<TCompiledScript> TScriptParser::Compile() {
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
            if (FRoutine)
                Error("Nested routines are not supported", Tok());
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

TScriptParser::TSymbol TScriptParser::NewVariable(TTypeKind type) {
    TSymbol symbol;
    symbol.Kind = TSymKind::Var;
    symbol.Type = type;
    if (FRoutine) {
        symbol.Access = TAccess::Local;
        symbol.Slot = static_cast<int>(FRoutine->VarTypes.size());
        FRoutine->VarTypes.push_back(type);
    } else {
        symbol.Access = TAccess::Global;
        symbol.Slot = static_cast<int>(FScript->GlobalTypes.size());
        FScript->GlobalTypes.push_back(type);
    }
    return symbol;
}

void TScriptParser::ParseConst() {
    const TToken& name = ExpectIdent();
    TTypeKind type = TTypeKind::Variant;
    if (Accept(TTok::Colon))
        type = ParseType().Kind;
    Expect(TTok::Equal);
    TSymbol symbol;
    symbol.Kind = TSymKind::Const;
    symbol.Value = ParseConstValue();
    ConvertTo(type, symbol.Value);
    Expect(TTok::Semicolon);
    Declare(name, std::move(symbol));
}

void TScriptParser::ParseVar() {
    std::vector<const TToken*> names{&ExpectIdent()};
    while (Accept(TTok::Comma))
        names.push_back(&ExpectIdent());
    Expect(TTok::Colon);
    TTypeInfo type = ParseType();
    if (Tok().Kind == TTok::Equal) {
        if (names.size() != 1)
            Error("Only one variable can be initialised at a time", Tok());
        Next();
        type.Init = ParseConstValue();
        ConvertTo(type.Kind, type.Init);
    }
    Expect(TTok::Semicolon);
    for (const TToken* name : names) {
        TSymbol symbol = NewVariable(type.Kind);
        if (!type.Init.IsEmpty()) {
            if (FRoutine)
                FRoutine->Inits.emplace_back(symbol.Slot, type.Init);
            else
                FScript->GlobalInits.emplace_back(symbol.Slot, type.Init);
        }
        Declare(*name, std::move(symbol));
    }
}

TTypeInfo TScriptParser::ParseType() {
    TNestGuard guard(*this);
    TTypeInfo info;
    if (Accept(TTok::KwArray)) {
        int count = -1;
        if (Tok().Kind == TTok::LBracket) {
            const TToken& at = Next();
            Variant low = ParseConstValue();
            Expect(TTok::DotDot);
            Variant high = ParseConstValue();
            Expect(TTok::RBracket);
            if (low.AsInteger() != 0)
                Error("Arrays start at index 0", at);
            if (high.AsInteger() < 0 || high.AsInteger() >= FMaxArrayElements)
                Error("Array bounds out of range", at);
            count = high.AsInteger() + 1;
        }
        Expect(TTok::KwOf);
        TTypeInfo element = ParseType();
        if (count >= 0)
            info.Init =
                Variant(std::vector<Variant>(static_cast<std::size_t>(count), DefaultOf(element.Kind)));
        return info;
    }
    const TToken& name = ExpectIdent();
    if (name.Lower == "set" && Accept(TTok::KwOf)) {
        ParseType();
        return info;
    }
    info.Kind = TypeKindOf(name.Lower);
    return info;
}

void TScriptParser::ParseRoutine() {
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
            TTypeKind type = Accept(TTok::Colon) ? ParseType().Kind : TTypeKind::Variant;
            for (const TToken* paramName : names)
                params.push_back({paramName->Lower, type, byRef});
        } while (Accept(TTok::Semicolon));
        Expect(TTok::RParen);
    }
    TTypeKind resultType = TTypeKind::Variant;
    if (isFunction) {
        Expect(TTok::Colon);
        resultType = ParseType().Kind;
    }
    Expect(TTok::Semicolon);

    TRoutine* routine = nullptr;
    auto existing = FGlobals.find(name.Lower);
    if (existing != FGlobals.end()) {
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
        routine->Params = std::move(params);
        routine->ResultType = resultType;
        for (const TParam& param : routine->Params) {
            if (param.ByRef) {
                routine->ParamSlots.push_back(routine->RefCount++);
            } else {
                routine->ParamSlots.push_back(static_cast<int>(routine->VarTypes.size()));
                routine->VarTypes.push_back(param.Type);
            }
        }
        if (isFunction) {
            routine->ResultSlot = static_cast<int>(routine->VarTypes.size());
            routine->VarTypes.push_back(resultType);
        }
        TSymbol symbol;
        symbol.Kind = TSymKind::Routine;
        symbol.Routine = routine;
        FGlobals.emplace(name.Lower, std::move(symbol));
    }
    if (Accept(TTok::KwForward)) {
        Expect(TTok::Semicolon);
        return;
    }

    routine->Defined = true;
    FRoutine = routine;
    FLocals.clear();
    for (std::size_t i = 0; i < routine->Params.size(); ++i) {
        const TParam& param = routine->Params[i];
        TSymbol symbol;
        symbol.Access = param.ByRef ? TAccess::Ref : TAccess::Local;
        symbol.Slot = routine->ParamSlots[i];
        symbol.Type = param.Type;
        if (!FLocals.emplace(param.Name, std::move(symbol)).second)
            Error("Identifier redeclared: '" + param.Name + "'", name);
    }
    if (isFunction) {
        TSymbol symbol;
        symbol.Access = TAccess::Local;
        symbol.Slot = routine->ResultSlot;
        symbol.Type = routine->ResultType;
        FLocals.emplace("result", std::move(symbol));
    }
    ParseDeclarations();
    const TToken& begin = Expect(TTok::KwBegin);
    routine->Body = ParseBlockRest(begin, TTok::KwEnd);
    Expect(TTok::KwEnd);
    Expect(TTok::Semicolon);
    FRoutine = nullptr;
    FLocals.clear();
}

bool TScriptParser::SameParams(const std::vector<TParam>& a, const std::vector<TParam>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].ByRef != b[i].ByRef || a[i].Type != b[i].Type)
            return false;
    return true;
}

const TScriptParser::TSymbol* TScriptParser::Lookup(const std::string& lower) const {
    if (FRoutine) {
        auto it = FLocals.find(lower);
        if (it != FLocals.end())
            return &it->second;
    }
    auto it = FGlobals.find(lower);
    return it == FGlobals.end() ? nullptr : &it->second;
}

std::unique_ptr<TCompiledScript> CompileScript(std::string_view source, const TJvInterpreterAdapter* own,
                                               const TJvInterpreterAdapter* global,
                                               const TScriptLimits& limits) {
    if (source.size() > limits.MaxSourceBytes)
        throw EScriptError("Source larger than " + std::to_string(limits.MaxSourceBytes) + " bytes", 1, 1);
    return TScriptParser(source, own, global, limits).Compile();
}

} // namespace kalmora::script
