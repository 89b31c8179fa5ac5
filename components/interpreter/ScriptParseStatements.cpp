// Statements: control flow, assignment (with the in-place concatenation it may turn into), calls.

#include "ScriptParser.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {

TStmtPtr TScriptParser::ParseBlockRest(const TToken& at, TTok terminator) {
    std::vector<TStmtPtr> list = ParseStatementList({terminator});
    // A block of one statement is that statement: a block adds no step and no meaning of its own.
    if (list.size() == 1)
        return std::move(list.front());
    return std::make_unique<TBlockStmt>(at.Line, at.Column, std::move(list));
}

std::vector<TStmtPtr> TScriptParser::ParseStatementList(std::initializer_list<TTok> terminators) {
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

TStmtPtr TScriptParser::ParseStatement() {
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

TStmtPtr TScriptParser::ParseExit() {
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

TStmtPtr TScriptParser::ParseFor() {
    const TToken& t = Next();
    const TToken& name = ExpectIdent();
    TExprPtr counter = ResolveName(name, false, {});
    auto* var = dynamic_cast<TVarExprBase*>(counter.get());
    if (!var)
        Error("For loop counter must be a variable", name);
    if (var->Type != TTypeKind::Integer && var->Type != TTypeKind::Variant &&
        var->Type != TTypeKind::String && var->Type != TTypeKind::Boolean)
        Error("For loop counter must be an ordinal variable", name);
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

TStmtPtr TScriptParser::ParseCase() {
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

TStmtPtr TScriptParser::ParseTry() {
    const TToken& t = Next();
    TStmtPtr body =
        std::make_unique<TBlockStmt>(t.Line, t.Column, ParseStatementList({TTok::KwExcept, TTok::KwFinally}));
    if (const TToken& f = Tok(); Accept(TTok::KwFinally)) {
        TStmtPtr final = ParseBlockRest(f, TTok::KwEnd);
        Expect(TTok::KwEnd);
        return std::make_unique<TTryFinallyStmt>(t.Line, t.Column, std::move(body), std::move(final));
    }
    const TToken& except = Expect(TTok::KwExcept);
    auto stmt = std::make_unique<TTryExceptStmt>(t.Line, t.Column, std::move(body));
    stmt->Classes = FScript->Exceptions.get();
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
            handler.Access = symbol.Place.Access;
            handler.Slot = symbol.Place.Slot;
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

TStmtPtr TScriptParser::ParseRaise() {
    const TToken& t = Next();
    auto stmt = std::make_unique<TRaiseStmt>(t.Line, t.Column);
    stmt->Classes = FScript->Exceptions.get();
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

TStmtPtr TScriptParser::ParseSimpleStatement() {
    const TToken& t = Tok();
    if (Peek(1).Kind == TTok::Assign) {
        // Assigning to the name of the function being compiled, or of one it is nested in, sets its result.
        for (int level = Level(); level > 0; --level) {
            const TRoutine* routine = FLevels[static_cast<std::size_t>(level)].Routine;
            if (!routine->IsFunction || !LowerAsciiEquals(routine->Name, t.Lower))
                continue;
            Next();
            Next();
            TVarPlace place{level == Level() ? TAccess::Local : TAccess::Outer, level, routine->ResultSlot};
            TVarExpr<TAccess::Local> result(t.Line, t.Column, place, routine->ResultType, nullptr);
            return MakeAssignStmt(t.Line, t.Column, result, ParseExpr());
        }
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

TStmtPtr TScriptParser::MakeAssignment(const TToken& at, TExprPtr target, TExprPtr value, bool pure) {
    if (auto* unknown = dynamic_cast<TDynamicExpr*>(target.get()))
        Error("Undeclared identifier: '" + unknown->Name + "'", *unknown);
    if (auto* var = dynamic_cast<TVarExprBase*>(target.get())) {
        if (var->Info && var->Info->IsStatic)
            return std::make_unique<TFixedArrayAssignStmt>(at.Line, at.Column, var->Place, std::move(value));
        if (pure && (var->Type == TTypeKind::String || var->Type == TTypeKind::Variant))
            if (TStmtPtr append = TryAppend(at, *var, value))
                return append;
        return MakeAssignStmt(at.Line, at.Column, *var, std::move(value));
    }
    if (auto* element = dynamic_cast<TIndexExpr*>(target.get())) {
        if (!element->IsVariable())
            Error("Left side cannot be assigned to", at);
        target.release();
        return std::make_unique<TElementAssignStmt>(at.Line, at.Column, std::unique_ptr<TIndexExpr>(element),
                                                    std::move(value));
    }
    Error("Left side cannot be assigned to", at);
}

TStmtPtr TScriptParser::TryAppend(const TToken& at, const TVarExprBase& target, TExprPtr& value) {
    std::size_t terms = 0;
    const TExpr* node = value.get();
    while (auto* add = dynamic_cast<const TBinaryExprBase*>(node)) {
        if (add->Op != TBinOp::Add)
            return nullptr;
        ++terms;
        node = add->Left.get();
    }
    auto* leftmost = dynamic_cast<const TVarExprBase*>(node);
    if (terms == 0 || terms > 8 || !leftmost || leftmost->Place.Access != target.Place.Access ||
        leftmost->Place.Level != target.Place.Level || leftmost->Place.Slot != target.Place.Slot)
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

} // namespace kalmora::script
