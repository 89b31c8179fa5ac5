// Expressions with Pascal precedence, constant folding, and the binding of names to slots and entries.

#include "ScriptParser.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {

TExprPtr TScriptParser::Checked(TExprPtr expr) {
    if (expr->Depth > FMaxExprDepth)
        Error("Expression nested deeper than " + std::to_string(FMaxExprDepth) + " levels", *expr);
    return expr;
}

TExprPtr TScriptParser::Fold(TExprPtr expr) {
    if (!expr->IsConstant() || dynamic_cast<TLiteralExpr*>(expr.get()))
        return expr;
    try {
        Variant value = expr->Eval(FConstCtx);
        return std::make_unique<TLiteralExpr>(expr->Line, expr->Column, std::move(value));
    } catch (const Exception&) {
        return expr;
    }
}

Variant TScriptParser::ParseConstValue() {
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

TExprPtr TScriptParser::ParseExpr() {
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

TExprPtr TScriptParser::ParseSimple() {
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

TExprPtr TScriptParser::ParseTerm() {
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

TExprPtr TScriptParser::ParseFactor() {
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

TExprPtr TScriptParser::ParseSet() {
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

std::vector<TExprPtr> TScriptParser::ParseArgs() {
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

TExprPtr TScriptParser::ParseDesignator() {
    const TToken& name = ExpectIdent();
    if ((name.Lower == "low" || name.Lower == "high") && !Lookup(name.Lower))
        if (TExprPtr bound = TryTypeBound(name, name.Lower == "high"))
            return bound;
    bool parens = Tok().Kind == TTok::LParen;
    std::vector<TExprPtr> args;
    if (parens)
        args = ParseArgs();
    TExprPtr expr = Checked(ResolveName(name, parens, std::move(args)));
    for (;;) {
        if (Accept(TTok::Dot)) {
            // Host members may be named like keywords (obj.Type, list.End).
            const TToken& member = Tok().Lower.empty() ? ExpectIdent() : Next();
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
                                                         std::move(expr), std::move(own), std::move(global),
                                                         std::move(memberArgs)));
        } else if (const TToken& bracket = Tok(); Accept(TTok::LBracket)) {
            // a[i, j] is a[i][j].
            do
                expr = Checked(
                    std::make_unique<TIndexExpr>(bracket.Line, bracket.Column, std::move(expr), ParseExpr()));
            while (Accept(TTok::Comma));
            Expect(TTok::RBracket);
        } else {
            return expr;
        }
    }
}

[[noreturn]] void TScriptParser::WrongCount(const TToken& name, std::size_t expected, std::size_t got) const {
    Error("Wrong number of arguments for '" + name.Text + "': expected " + std::to_string(expected) +
              ", got " + std::to_string(got),
          name);
}

bool TScriptParser::IsVarArgument(const TExpr& arg) {
    return dynamic_cast<const TVarExprBase*>(&arg) ||
           (dynamic_cast<const TIndexExpr*>(&arg) && arg.IsVariable());
}

TExprPtr TScriptParser::ResolveName(const TToken& name, bool parens, std::vector<TExprPtr> args) {
    if (std::optional<TSymbol> symbol = Lookup(name.Lower)) {
        switch (symbol->Kind) {
        case TSymKind::Var:
            if (parens)
                Error("'" + name.Text + "' is not a routine", name);
            return MakeVarExpr(name.Line, name.Column, symbol->Place, symbol->Type, symbol->Info);
        case TSymKind::Const:
            if (parens)
                Error("'" + name.Text + "' is not a routine", name);
            return std::make_unique<TLiteralExpr>(name.Line, name.Column, symbol->Value);
        case TSymKind::Routine: {
            const TRoutine& routine = *symbol->Routine;
            if (args.size() != routine.Params.size())
                WrongCount(name, routine.Params.size(), args.size());
            for (std::size_t i = 0; i < args.size(); ++i)
                if (routine.Params[i].ByRef && !IsVarArgument(*args[i]))
                    Error("Variable required for var parameter '" + routine.Params[i].Name + "' of '" +
                              name.Text + "'",
                          *args[i]);
            ++FImpure;
            return std::make_unique<TScriptCallExpr>(name.Line, name.Column, symbol->Routine,
                                                     std::move(args));
        }
        }
    }
    // Ord, Succ, Pred, Low, High and the casts belong to the language: they need the argument's declared
    // type, which no host function sees.
    TIntrinsic intrinsic{};
    bool isIntrinsic = parens && FindIntrinsic(name.Lower, intrinsic);
    bool hostMayDefine = intrinsic == TIntrinsic::Length || intrinsic == TIntrinsic::Assigned;
    if (isIntrinsic && !hostMayDefine) {
        if (args.size() != 1)
            WrongCount(name, 1, args.size());
        return Fold(std::make_unique<TIntrinsicExpr>(name.Line, name.Column, intrinsic, std::move(args[0])));
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
    if (name.Lower == "inc" || name.Lower == "dec") {
        if (args.empty() || args.size() > 2)
            WrongCount(name, 1, args.size());
        if (!IsVarArgument(*args[0]))
            Error("Variable required for '" + name.Text + "'", *args[0]);
        ++FImpure;
        return std::make_unique<TIncExpr>(name.Line, name.Column, name.Lower == "dec", std::move(args[0]),
                                          args.size() == 2 ? std::move(args[1]) : nullptr);
    }
    if (isIntrinsic) {
        if (args.size() != 1)
            WrongCount(name, 1, args.size());
        return std::make_unique<TIntrinsicExpr>(name.Line, name.Column, intrinsic, std::move(args[0]));
    }
    return std::make_unique<TDynamicExpr>(name.Line, name.Column, name.Text, std::move(args));
}

} // namespace kalmora::script
