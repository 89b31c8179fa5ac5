#include "ScriptCompiler.h"

#include "ScriptLexer.h"
#include "ScriptStatements.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <unordered_map>

namespace kalmora::script {
namespace {

struct TTypeInfo {
    TTypeKind Kind = TTypeKind::Variant;
    Variant Init; // fixed-size arrays start with their elements
};

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

class TCompiler {
public:
    TCompiler(std::string_view source, const TJvInterpreterAdapter* own, const TJvInterpreterAdapter* global,
              const TScriptLimits& limits)
        : FTokens(Tokenize(source)), FOwn(own), FGlobal(global),
          FMaxNesting(std::max(limits.MaxNestingDepth, 1)), FMaxExprDepth(4 * FMaxNesting),
          FStackFloor(ScriptStackFloor()), FConstCtx(nullptr, limits),
          FScript(std::make_unique<TCompiledScript>()) {}

    std::unique_ptr<TCompiledScript> Compile() {
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
                throw EScriptError("Unsatisfied forward declaration of '" + routine->Name + "'",
                                   routine->Line, routine->Column);
        return std::move(FScript);
    }

private:
    enum class TSymKind { Var, Const, Routine };
    struct TSymbol {
        TSymKind Kind = TSymKind::Var;
        TAccess Access = TAccess::Global;
        int Slot = 0;
        TTypeKind Type = TTypeKind::Variant;
        Variant Value;
        TRoutine* Routine = nullptr;
    };
    using TScope = std::unordered_map<std::string, TSymbol>;

    // Bounds the parser's recursion (and so the depth of the tree every later pass recurses over).
    class TNestGuard {
    public:
        explicit TNestGuard(TCompiler& owner) : FOwner(owner) {
            char probe = 0;
            if (++FOwner.FNesting > FOwner.FMaxNesting ||
                reinterpret_cast<std::uintptr_t>(&probe) < FOwner.FStackFloor)
                FOwner.Error("Nesting deeper than " + std::to_string(FOwner.FMaxNesting) + " levels",
                             FOwner.Tok());
        }
        ~TNestGuard() { --FOwner.FNesting; }
        TNestGuard(const TNestGuard&) = delete;
        TNestGuard& operator=(const TNestGuard&) = delete;

    private:
        TCompiler& FOwner;
    };

    // ---- tokens

    const TToken& Tok() const { return FTokens[FPos]; }
    const TToken& Peek(std::size_t ahead) const {
        return FTokens[std::min(FPos + ahead, FTokens.size() - 1)];
    }
    const TToken& Next() {
        const TToken& current = FTokens[FPos];
        if (FPos + 1 < FTokens.size())
            ++FPos;
        return current;
    }
    bool Accept(TTok kind) {
        if (Tok().Kind != kind)
            return false;
        Next();
        return true;
    }
    const TToken& Expect(TTok kind) {
        if (Tok().Kind != kind)
            Error(TokenName(kind) + " expected but " + Found() + " found", Tok());
        return Next();
    }
    const TToken& ExpectIdent() { return Expect(TTok::Identifier); }
    std::string Found() const {
        const TToken& t = Tok();
        if (t.Kind == TTok::Identifier)
            return "identifier '" + t.Text + "'";
        return TokenName(t.Kind);
    }
    [[noreturn]] void Error(const std::string& message, const TToken& at) const {
        throw EScriptError(message, at.Line, at.Column);
    }
    [[noreturn]] void Error(const std::string& message, const TNode& at) const {
        throw EScriptError(message, at.Line, at.Column);
    }

    // ---- declarations

    void ParseUses() {
        if (!Accept(TTok::KwUses))
            return;
        do
            ExpectIdent();
        while (Accept(TTok::Comma));
        Expect(TTok::Semicolon);
    }

    void ParseDeclarations() {
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

    TScope& Scope() { return FRoutine ? FLocals : FGlobals; }

    void Declare(const TToken& name, TSymbol symbol) {
        TScope& scope = Scope();
        if (scope.count(name.Lower))
            Error("Identifier redeclared: '" + name.Text + "'", name);
        scope.emplace(name.Lower, std::move(symbol));
    }

    // A new variable slot in the current scope.
    TSymbol NewVariable(TTypeKind type) {
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

    void ParseConst() {
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

    void ParseVar() {
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

    TTypeInfo ParseType() {
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
                if (high.AsInteger() < 0 || high.AsInteger() >= 65536)
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

    void ParseRoutine() {
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

    static bool SameParams(const std::vector<TParam>& a, const std::vector<TParam>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].ByRef != b[i].ByRef || a[i].Type != b[i].Type)
                return false;
        return true;
    }

    const TSymbol* Lookup(const std::string& lower) const {
        if (FRoutine) {
            auto it = FLocals.find(lower);
            if (it != FLocals.end())
                return &it->second;
        }
        auto it = FGlobals.find(lower);
        return it == FGlobals.end() ? nullptr : &it->second;
    }

    // ---- statements

    TStmtPtr ParseBlockRest(const TToken& at, TTok terminator) {
        return std::make_unique<TBlockStmt>(at.Line, at.Column, ParseStatementList({terminator}));
    }

    std::vector<TStmtPtr> ParseStatementList(std::initializer_list<TTok> terminators) {
        std::vector<TStmtPtr> list;
        for (;;) {
            if (TStmtPtr stmt = ParseStatement())
                list.push_back(std::move(stmt));
            if (!Accept(TTok::Semicolon))
                break;
        }
        if (std::find(terminators.begin(), terminators.end(), Tok().Kind) == terminators.end())
            Error("';' expected but " + Found() + " found", Tok());
        return list;
    }

    TStmtPtr ParseStatement() {
        TNestGuard guard(*this);
        const TToken& t = Tok();
        switch (t.Kind) {
        case TTok::KwBegin: {
            Next();
            TStmtPtr block = ParseBlockRest(t, TTok::KwEnd);
            Expect(TTok::KwEnd);
            return block;
        }
        case TTok::KwIf: {
            Next();
            TExprPtr cond = ParseExpr();
            Expect(TTok::KwThen);
            TStmtPtr then = ParseStatement();
            TStmtPtr otherwise = Accept(TTok::KwElse) ? ParseStatement() : nullptr;
            return std::make_unique<TIfStmt>(t.Line, t.Column, std::move(cond), std::move(then),
                                             std::move(otherwise));
        }
        case TTok::KwWhile: {
            Next();
            TExprPtr cond = ParseExpr();
            Expect(TTok::KwDo);
            ++FLoopDepth;
            TStmtPtr body = ParseStatement();
            --FLoopDepth;
            return std::make_unique<TWhileStmt>(t.Line, t.Column, std::move(cond), std::move(body));
        }
        case TTok::KwRepeat: {
            Next();
            ++FLoopDepth;
            TStmtPtr body = ParseBlockRest(t, TTok::KwUntil);
            --FLoopDepth;
            Expect(TTok::KwUntil);
            return std::make_unique<TRepeatStmt>(t.Line, t.Column, std::move(body), ParseExpr());
        }
        case TTok::KwFor:
            return ParseFor();
        case TTok::KwCase:
            return ParseCase();
        case TTok::KwTry:
            return ParseTry();
        case TTok::KwRaise:
            return ParseRaise();
        case TTok::KwBreak:
        case TTok::KwContinue:
            if (FLoopDepth == 0)
                Error(std::string(t.Kind == TTok::KwBreak ? "break" : "continue") + " outside of a loop", t);
            Next();
            return std::make_unique<TFlowStmt>(t.Line, t.Column,
                                               t.Kind == TTok::KwBreak ? TFlow::Break : TFlow::Continue);
        case TTok::KwExit:
            return ParseExit();
        case TTok::Identifier:
            return ParseSimpleStatement();
        case TTok::KwWith:
            Error("'with' is not supported", t);
        case TTok::Semicolon:
        case TTok::KwEnd:
        case TTok::KwUntil:
        case TTok::KwElse:
        case TTok::KwExcept:
        case TTok::KwFinally:
            return nullptr;
        default:
            Error("Statement expected but " + Found() + " found", t);
        }
    }

    TStmtPtr ParseExit() {
        const TToken& t = Next();
        auto stmt = std::make_unique<TFlowStmt>(t.Line, t.Column, TFlow::Exit);
        if (Accept(TTok::LParen)) {
            if (!FRoutine || !FRoutine->IsFunction)
                Error("Exit with a value outside a function", t);
            stmt->Result = ParseExpr();
            stmt->ResultSlot = FRoutine->ResultSlot;
            stmt->ResultType = FRoutine->ResultType;
            Expect(TTok::RParen);
        }
        return stmt;
    }

    TStmtPtr ParseFor() {
        const TToken& t = Next();
        const TToken& name = ExpectIdent();
        TExprPtr counter = ResolveName(name, false, {});
        auto* var = dynamic_cast<TVarExprBase*>(counter.get());
        if (!var)
            Error("For loop counter must be a variable", name);
        if (var->Type != TTypeKind::Integer && var->Type != TTypeKind::Variant)
            Error("For loop counter must be an Integer variable", name);
        Expect(TTok::Assign);
        TExprPtr from = ParseExpr();
        bool down = Tok().Kind == TTok::KwDownto;
        if (!down && Tok().Kind != TTok::KwTo)
            Error("'to' or 'downto' expected but " + Found() + " found", Tok());
        Next();
        TExprPtr to = ParseExpr();
        Expect(TTok::KwDo);
        ++FLoopDepth;
        TStmtPtr body = ParseStatement();
        --FLoopDepth;
        return MakeForStmt(t.Line, t.Column, *var, std::move(from), std::move(to), down, std::move(body));
    }

    TStmtPtr ParseCase() {
        const TToken& t = Next();
        auto stmt = std::make_unique<TCaseStmt>(t.Line, t.Column, ParseExpr());
        Expect(TTok::KwOf);
        while (Tok().Kind != TTok::KwElse && Tok().Kind != TTok::KwEnd) {
            TCaseStmt::TBranch branch;
            do {
                TCaseStmt::TLabel label;
                label.Low = ParseConstValue();
                if (Accept(TTok::DotDot)) {
                    label.High = ParseConstValue();
                    label.IsRange = true;
                }
                branch.Labels.push_back(std::move(label));
            } while (Accept(TTok::Comma));
            Expect(TTok::Colon);
            branch.Body = ParseStatement();
            stmt->Branches.push_back(std::move(branch));
            if (!Accept(TTok::Semicolon))
                break;
        }
        if (const TToken& e = Tok(); Accept(TTok::KwElse)) {
            stmt->Else = ParseBlockRest(e, TTok::KwEnd);
            stmt->HasElse = true;
        }
        Expect(TTok::KwEnd);
        return stmt;
    }

    TStmtPtr ParseTry() {
        const TToken& t = Next();
        TStmtPtr body = std::make_unique<TBlockStmt>(t.Line, t.Column,
                                                     ParseStatementList({TTok::KwExcept, TTok::KwFinally}));
        if (const TToken& f = Tok(); Accept(TTok::KwFinally)) {
            TStmtPtr final = ParseBlockRest(f, TTok::KwEnd);
            Expect(TTok::KwEnd);
            return std::make_unique<TTryFinallyStmt>(t.Line, t.Column, std::move(body), std::move(final));
        }
        const TToken& except = Expect(TTok::KwExcept);
        auto stmt = std::make_unique<TTryExceptStmt>(t.Line, t.Column, std::move(body));
        if (Tok().Kind != TTok::KwOn) {
            stmt->HandlerBody = ParseBlockRest(except, TTok::KwEnd);
            Expect(TTok::KwEnd);
            return stmt;
        }
        while (Accept(TTok::KwOn)) {
            TTryExceptStmt::THandler handler;
            const TToken& first = ExpectIdent();
            const TToken* varName = nullptr;
            const TToken* className = &first;
            if (Accept(TTok::Colon)) {
                varName = &first;
                className = &ExpectIdent();
            }
            handler.ClassName = className->Lower;
            Expect(TTok::KwDo);
            if (varName) {
                // The handler's variable exists only inside its handler; it hides an outer one of that name.
                TSymbol symbol = NewVariable(TTypeKind::Variant);
                handler.Access = symbol.Access;
                handler.Slot = symbol.Slot;
                TScope& scope = Scope();
                auto previous = scope.find(varName->Lower);
                std::optional<TSymbol> hidden;
                if (previous != scope.end()) {
                    hidden = std::move(previous->second);
                    scope.erase(previous);
                }
                scope.emplace(varName->Lower, std::move(symbol));
                handler.Body = ParseStatement();
                scope.erase(varName->Lower);
                if (hidden)
                    scope.emplace(varName->Lower, std::move(*hidden));
            } else {
                handler.Body = ParseStatement();
            }
            stmt->Handlers.push_back(std::move(handler));
            if (!Accept(TTok::Semicolon))
                break;
        }
        if (const TToken& e = Tok(); Accept(TTok::KwElse)) {
            stmt->HandlerBody = ParseBlockRest(e, TTok::KwEnd);
            stmt->HasElse = true;
        }
        Expect(TTok::KwEnd);
        return stmt;
    }

    TStmtPtr ParseRaise() {
        const TToken& t = Next();
        auto stmt = std::make_unique<TRaiseStmt>(t.Line, t.Column);
        switch (Tok().Kind) {
        case TTok::Semicolon:
        case TTok::KwEnd:
        case TTok::KwElse:
        case TTok::KwUntil:
        case TTok::KwExcept:
        case TTok::KwFinally:
        case TTok::End:
            return stmt;
        default:
            break;
        }
        if (Tok().Kind == TTok::Identifier && Peek(1).Kind == TTok::Dot && Peek(2).Kind == TTok::Identifier &&
            Peek(2).Lower == "create" && !Lookup(Tok().Lower)) {
            stmt->ClassName = Next().Text;
            Next();
            const TToken& create = Next();
            std::vector<TExprPtr> args;
            if (Tok().Kind == TTok::LParen)
                args = ParseArgs();
            if (args.size() > 1)
                Error("Create takes one message argument", create);
            if (!args.empty())
                stmt->Message = std::move(args[0]);
            return stmt;
        }
        stmt->Object = ParseExpr();
        return stmt;
    }

    TStmtPtr ParseSimpleStatement() {
        const TToken& t = Tok();
        if (FRoutine && FRoutine->IsFunction && Peek(1).Kind == TTok::Assign &&
            LowerAsciiEquals(FRoutine->Name, t.Lower)) {
            // Assigning to the function's own name sets its result.
            Next();
            Next();
            TVarExpr<TAccess::Local> result(t.Line, t.Column, FRoutine->ResultSlot, FRoutine->ResultType);
            return MakeAssignStmt(t.Line, t.Column, result, ParseExpr());
        }
        TExprPtr target = ParseDesignator();
        if (const TToken& assign = Tok(); Accept(TTok::Assign)) {
            int impure = FImpure;
            TExprPtr value = ParseExpr();
            return MakeAssignment(assign, std::move(target), std::move(value), FImpure == impure);
        }
        if (dynamic_cast<TVarExprBase*>(target.get()) || dynamic_cast<TLiteralExpr*>(target.get()) ||
            dynamic_cast<TIndexExpr*>(target.get()))
            Error("Statement expected but expression found", t);
        return std::make_unique<TExprStmt>(t.Line, t.Column, std::move(target));
    }

    TStmtPtr MakeAssignment(const TToken& at, TExprPtr target, TExprPtr value, bool pure) {
        if (auto* unknown = dynamic_cast<TDynamicExpr*>(target.get()))
            Error("Undeclared identifier: '" + unknown->Name + "'", *unknown);
        if (auto* var = dynamic_cast<TVarExprBase*>(target.get())) {
            if (pure && (var->Type == TTypeKind::String || var->Type == TTypeKind::Variant))
                if (TStmtPtr append = TryAppend(at, *var, value))
                    return append;
            return MakeAssignStmt(at.Line, at.Column, *var, std::move(value));
        }
        if (auto* element = dynamic_cast<TIndexExpr*>(target.get())) {
            if (!element->Base->IsVariable())
                Error("Left side cannot be assigned to", at);
            target.release();
            return std::make_unique<TElementAssignStmt>(
                at.Line, at.Column, std::unique_ptr<TIndexExpr>(element), std::move(value));
        }
        Error("Left side cannot be assigned to", at);
    }

    // s := s + a + b: the chain of '+' whose leftmost operand is the target itself.
    TStmtPtr TryAppend(const TToken& at, const TVarExprBase& target, TExprPtr& value) {
        std::size_t terms = 0;
        const TExpr* node = value.get();
        while (auto* add = dynamic_cast<const TBinaryExprBase*>(node)) {
            if (add->Op != TBinOp::Add)
                return nullptr;
            ++terms;
            node = add->Left.get();
        }
        auto* leftmost = dynamic_cast<const TVarExprBase*>(node);
        if (terms == 0 || terms > 8 || !leftmost || leftmost->Access != target.Access ||
            leftmost->Slot != target.Slot)
            return nullptr;
        std::vector<TExprPtr> collected;
        TExpr* current = value.get();
        while (auto* add = dynamic_cast<TBinaryExprBase*>(current)) {
            collected.push_back(std::move(add->Right));
            current = add->Left.get();
        }
        std::reverse(collected.begin(), collected.end());
        return MakeAppendStmt(at.Line, at.Column, target, std::move(collected));
    }

    // ---- expressions

    TExprPtr Checked(TExprPtr expr) {
        if (expr->Depth > FMaxExprDepth)
            Error("Expression nested deeper than " + std::to_string(FMaxExprDepth) + " levels", *expr);
        return expr;
    }

    // Folds an operator over constants into a literal; faults (1 div 0) are left for the run to report.
    TExprPtr Fold(TExprPtr expr) {
        if (!expr->IsConstant() || dynamic_cast<TLiteralExpr*>(expr.get()))
            return expr;
        try {
            Variant value = expr->Eval(FConstCtx);
            return std::make_unique<TLiteralExpr>(expr->Line, expr->Column, std::move(value));
        } catch (const Exception&) {
            return expr;
        }
    }

    Variant ParseConstValue() {
        TExprPtr expr = ParseExpr();
        if (!expr->IsConstant())
            Error("Constant expression expected", *expr);
        try {
            return expr->Eval(FConstCtx);
        } catch (const EScriptError&) {
            throw;
        } catch (const Exception& error) {
            Error(error.Message(), *expr);
        }
    }

    TExprPtr ParseExpr() {
        TNestGuard guard(*this);
        TExprPtr left = ParseSimple();
        TBinOp op;
        switch (Tok().Kind) {
        case TTok::Equal:
            op = TBinOp::Eq;
            break;
        case TTok::NotEqual:
            op = TBinOp::Ne;
            break;
        case TTok::Less:
            op = TBinOp::Lt;
            break;
        case TTok::LessEqual:
            op = TBinOp::Le;
            break;
        case TTok::Greater:
            op = TBinOp::Gt;
            break;
        case TTok::GreaterEqual:
            op = TBinOp::Ge;
            break;
        case TTok::KwIn: {
            const TToken& at = Next();
            return Checked(std::make_unique<TInExpr>(at.Line, at.Column, std::move(left), ParseSimple()));
        }
        default:
            return left;
        }
        const TToken& at = Next();
        return Fold(Checked(MakeBinaryExpr(at.Line, at.Column, op, std::move(left), ParseSimple())));
    }

    TExprPtr ParseSimple() {
        TExprPtr left = ParseTerm();
        for (;;) {
            TBinOp op;
            switch (Tok().Kind) {
            case TTok::Plus:
                op = TBinOp::Add;
                break;
            case TTok::Minus:
                op = TBinOp::Sub;
                break;
            case TTok::KwOr:
                op = TBinOp::Or;
                break;
            case TTok::KwXor:
                op = TBinOp::Xor;
                break;
            default:
                return left;
            }
            const TToken& at = Next();
            left = Fold(Checked(MakeBinaryExpr(at.Line, at.Column, op, std::move(left), ParseTerm())));
        }
    }

    TExprPtr ParseTerm() {
        TExprPtr left = ParseFactor();
        for (;;) {
            TBinOp op;
            switch (Tok().Kind) {
            case TTok::Star:
                op = TBinOp::Mul;
                break;
            case TTok::Slash:
                op = TBinOp::Divide;
                break;
            case TTok::KwDiv:
                op = TBinOp::IntDiv;
                break;
            case TTok::KwMod:
                op = TBinOp::Mod;
                break;
            case TTok::KwAnd:
                op = TBinOp::And;
                break;
            case TTok::KwShl:
                op = TBinOp::Shl;
                break;
            case TTok::KwShr:
                op = TBinOp::Shr;
                break;
            default:
                return left;
            }
            const TToken& at = Next();
            left = Fold(Checked(MakeBinaryExpr(at.Line, at.Column, op, std::move(left), ParseFactor())));
        }
    }

    TExprPtr ParseFactor() {
        TNestGuard guard(*this);
        const TToken& t = Tok();
        switch (t.Kind) {
        case TTok::Integer:
            Next();
            return std::make_unique<TLiteralExpr>(t.Line, t.Column, Variant(static_cast<int>(t.IntValue)));
        case TTok::Float:
            Next();
            return std::make_unique<TLiteralExpr>(t.Line, t.Column, Variant(t.FloatValue));
        case TTok::String:
            Next();
            return std::make_unique<TLiteralExpr>(t.Line, t.Column, Variant(t.Text));
        case TTok::KwTrue:
        case TTok::KwFalse:
            Next();
            return std::make_unique<TLiteralExpr>(t.Line, t.Column, Variant(t.Kind == TTok::KwTrue));
        case TTok::KwNil:
            Next();
            return std::make_unique<TLiteralExpr>(t.Line, t.Column, Variant());
        case TTok::LParen: {
            Next();
            TExprPtr inner = ParseExpr();
            Expect(TTok::RParen);
            return inner;
        }
        case TTok::KwNot:
            Next();
            return Fold(Checked(std::make_unique<TUnaryExpr>(t.Line, t.Column, true, ParseFactor())));
        case TTok::Minus: {
            Next();
            // -2147483648 is an Integer although 2147483648 alone is not.
            if (Tok().Kind == TTok::Float && Tok().FloatValue == 2147483648.0) {
                Next();
                return std::make_unique<TLiteralExpr>(t.Line, t.Column,
                                                      Variant(static_cast<int>(-2147483647 - 1)));
            }
            return Fold(Checked(std::make_unique<TUnaryExpr>(t.Line, t.Column, false, ParseFactor())));
        }
        case TTok::Plus:
            Next();
            return ParseFactor();
        case TTok::LBracket:
            return ParseSet();
        case TTok::Identifier:
            return ParseDesignator();
        default:
            Error("Expression expected but " + Found() + " found", t);
        }
    }

    TExprPtr ParseSet() {
        const TToken& t = Next();
        std::vector<TSetExpr::TItem> items;
        if (!Accept(TTok::RBracket)) {
            do {
                TSetExpr::TItem item;
                item.Low = ParseExpr();
                if (Accept(TTok::DotDot))
                    item.High = ParseExpr();
                items.push_back(std::move(item));
            } while (Accept(TTok::Comma));
            Expect(TTok::RBracket);
        }
        return Checked(std::make_unique<TSetExpr>(t.Line, t.Column, std::move(items)));
    }

    std::vector<TExprPtr> ParseArgs() {
        Expect(TTok::LParen);
        std::vector<TExprPtr> args;
        if (Accept(TTok::RParen))
            return args;
        do
            args.push_back(ParseExpr());
        while (Accept(TTok::Comma));
        Expect(TTok::RParen);
        return args;
    }

    TExprPtr ParseDesignator() {
        const TToken& name = ExpectIdent();
        bool parens = Tok().Kind == TTok::LParen;
        std::vector<TExprPtr> args;
        if (parens)
            args = ParseArgs();
        TExprPtr expr = Checked(ResolveName(name, parens, std::move(args)));
        for (;;) {
            if (Accept(TTok::Dot)) {
                const TToken& member = ExpectIdent();
                std::vector<TExprPtr> memberArgs;
                if (Tok().Kind == TTok::LParen)
                    memberArgs = ParseArgs();
                std::vector<const TAdapterEntry*> own, global;
                if (FOwn)
                    own = FOwn->FindMembers(member.Text);
                if (FGlobal)
                    global = FGlobal->FindMembers(member.Text);
                ++FImpure; // a member may write back through by-reference arguments
                expr = Checked(std::make_unique<TMemberExpr>(member.Line, member.Column, member.Text,
                                                             std::move(expr), std::move(own),
                                                             std::move(global), std::move(memberArgs)));
            } else if (const TToken& bracket = Tok(); Accept(TTok::LBracket)) {
                TExprPtr index = ParseExpr();
                Expect(TTok::RBracket);
                expr = Checked(std::make_unique<TIndexExpr>(bracket.Line, bracket.Column, std::move(expr),
                                                            std::move(index)));
            } else {
                return expr;
            }
        }
    }

    [[noreturn]] void WrongCount(const TToken& name, std::size_t expected, std::size_t got) const {
        Error("Wrong number of arguments for '" + name.Text + "': expected " + std::to_string(expected) +
                  ", got " + std::to_string(got),
              name);
    }

    TExprPtr ResolveName(const TToken& name, bool parens, std::vector<TExprPtr> args) {
        if (const TSymbol* symbol = Lookup(name.Lower)) {
            switch (symbol->Kind) {
            case TSymKind::Var:
                if (parens)
                    Error("'" + name.Text + "' is not a routine", name);
                return MakeVarExpr(name.Line, name.Column, symbol->Access, symbol->Slot, symbol->Type);
            case TSymKind::Const:
                if (parens)
                    Error("'" + name.Text + "' is not a routine", name);
                return std::make_unique<TLiteralExpr>(name.Line, name.Column, symbol->Value);
            case TSymKind::Routine: {
                const TRoutine& routine = *symbol->Routine;
                if (args.size() != routine.Params.size())
                    WrongCount(name, routine.Params.size(), args.size());
                for (std::size_t i = 0; i < args.size(); ++i)
                    if (routine.Params[i].ByRef && !dynamic_cast<TVarExprBase*>(args[i].get()))
                        Error("Variable required for var parameter '" + routine.Params[i].Name + "' of '" +
                                  name.Text + "'",
                              *args[i]);
                ++FImpure;
                return std::make_unique<TScriptCallExpr>(name.Line, name.Column, symbol->Routine,
                                                         std::move(args));
            }
            }
        }
        for (const TJvInterpreterAdapter* registry : {FOwn, FGlobal}) {
            if (!registry)
                continue;
            const TAdapterEntry* entry = registry->FindName(name.Text);
            if (!entry)
                continue;
            if (entry->Kind == TAdapterEntryKind::Constant) {
                if (!args.empty())
                    Error("'" + name.Text + "' is not a routine", name);
                return std::make_unique<TLiteralExpr>(name.Line, name.Column, entry->Value);
            }
            if (static_cast<int>(args.size()) != entry->ParamCount)
                WrongCount(name, static_cast<std::size_t>(entry->ParamCount), args.size());
            for (int i = 0; i < entry->ParamCount; ++i)
                if (entry->IsByRef(i))
                    ++FImpure;
            return std::make_unique<THostCallExpr>(name.Line, name.Column, name.Text, entry, std::move(args));
        }
        return std::make_unique<TDynamicExpr>(name.Line, name.Column, name.Text, std::move(args));
    }

    std::vector<TToken> FTokens;
    std::size_t FPos = 0;
    const TJvInterpreterAdapter* FOwn;
    const TJvInterpreterAdapter* FGlobal;
    int FMaxNesting;
    int FMaxExprDepth;
    std::uintptr_t FStackFloor;
    TRunContext FConstCtx;
    std::unique_ptr<TCompiledScript> FScript;
    TScope FGlobals;
    TScope FLocals;
    TRoutine* FRoutine = nullptr;
    int FNesting = 0;
    int FLoopDepth = 0;
    int FImpure = 0;
};

} // namespace

std::unique_ptr<TCompiledScript> CompileScript(std::string_view source, const TJvInterpreterAdapter* own,
                                               const TJvInterpreterAdapter* global,
                                               const TScriptLimits& limits) {
    if (source.size() > limits.MaxSourceBytes)
        throw EScriptError("Source larger than " + std::to_string(limits.MaxSourceBytes) + " bytes", 1, 1);
    return TCompiler(source, own, global, limits).Compile();
}

} // namespace kalmora::script
