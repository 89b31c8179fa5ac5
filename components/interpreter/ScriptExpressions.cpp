#include "ScriptExpressions.h"

#include "ScriptLexer.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {
namespace {

int MaxDepth(const TExprPtr& a, const TExprPtr& b) {
    return std::max(a ? a->Depth : 0, b ? b->Depth : 0) + 1;
}

constexpr bool IsArithmetic(TBinOp op) {
    return op == TBinOp::Add || op == TBinOp::Sub || op == TBinOp::Mul || op == TBinOp::IntDiv ||
           op == TBinOp::Mod;
}

// O on two integers, for the operators that have an integer case.
template <TBinOp O> inline auto IntegerOp(int a, int b) {
    if constexpr (O == TBinOp::Add)
        return WrapAdd(a, b);
    else if constexpr (O == TBinOp::Sub)
        return WrapSub(a, b);
    else if constexpr (O == TBinOp::Mul)
        return WrapMul(a, b);
    else if constexpr (O == TBinOp::IntDiv)
        return IntDivide(a, b);
    else if constexpr (O == TBinOp::Mod)
        return IntModulo(a, b);
    else if constexpr (O == TBinOp::Eq)
        return a == b;
    else if constexpr (O == TBinOp::Ne)
        return a != b;
    else if constexpr (O == TBinOp::Lt)
        return a < b;
    else if constexpr (O == TBinOp::Le)
        return a <= b;
    else if constexpr (O == TBinOp::Gt)
        return a > b;
    else
        return a >= b;
}

// O on any two values but the integer pair; texts joined by + are bounded by the text size limit.
template <TBinOp O> Variant GeneralOp(TRunContext& ctx, Variant l, const Variant& r, const TNode& at) {
    if constexpr (O == TBinOp::Add) {
        if (l.IsString() && r.IsString()) {
            ctx.CheckStringSize(l.StringValue().size() + r.StringValue().size(), at.Line, at.Column);
            l.StringValue() += r.StringValue();
            return l;
        }
        if (l.IsString() || r.IsString()) {
            Variant joined = BinaryOp(O, l, r);
            ctx.CheckStringSize(joined.StringValue().size(), at.Line, at.Column);
            return joined;
        }
    }
    return BinaryOp(O, l, r);
}

template <TBinOp O> class TBinaryExpr final : public TBinaryExprBase {
public:
    TBinaryExpr(int line, int column, TExprPtr left, TExprPtr right)
        : TBinaryExprBase(line, column, O, std::move(left), std::move(right)) {}

    Variant Eval(TRunContext& ctx) const override {
        if constexpr (O >= TBinOp::Eq) {
            return Variant(EvalBool(ctx));
        } else {
            Variant l = Left->Eval(ctx);
            Variant r = Right->Eval(ctx);
            if constexpr (IsArithmetic(O))
                if (l.Type() == TVarType::Integer && r.Type() == TVarType::Integer)
                    return Variant(IntegerOp<O>(l.IntValue(), r.IntValue()));
            return GeneralOp<O>(ctx, std::move(l), r, *this);
        }
    }

    bool EvalBool(TRunContext& ctx) const override {
        if constexpr (O >= TBinOp::Eq) {
            Variant l = Left->Eval(ctx);
            Variant r = Right->Eval(ctx);
            if (l.Type() == TVarType::Integer && r.Type() == TVarType::Integer)
                return IntegerOp<O>(l.IntValue(), r.IntValue());
            return CompareOp(O, l, r);
        } else {
            return Eval(ctx).AsBoolean();
        }
    }
};

// x OP c with an integer constant c, the commonest shape in loops and conditions: the left side is read in
// place when it is a variable of the running routine or a global (A), else evaluated (Any), and the constant
// is never evaluated.
enum class TLeftShape : std::uint8_t { Local, Global, Ref, Any };

template <TBinOp O, TLeftShape L> class TConstRightExpr final : public TBinaryExprBase {
public:
    TConstRightExpr(int line, int column, TExprPtr left, TExprPtr right)
        : TBinaryExprBase(line, column, O, std::move(left), std::move(right)),
          Constant(static_cast<const TLiteralExpr&>(*Right).Value.IntValue()) {
        if constexpr (L != TLeftShape::Any)
            Slot = static_cast<const TVarExprBase&>(*Left).Place.Slot;
    }

    Variant Eval(TRunContext& ctx) const override {
        if constexpr (O >= TBinOp::Eq) {
            return Variant(EvalBool(ctx));
        } else if constexpr (L == TLeftShape::Any) {
            Variant l = Left->Eval(ctx);
            if (l.Type() == TVarType::Integer)
                return Variant(IntegerOp<O>(l.IntValue(), Constant));
            return GeneralOp<O>(ctx, std::move(l), Variant(Constant), *this);
        } else {
            const Variant& l = Read(ctx);
            if (l.Type() == TVarType::Integer)
                return Variant(IntegerOp<O>(l.IntValue(), Constant));
            return GeneralOp<O>(ctx, l, Variant(Constant), *this);
        }
    }

    bool EvalBool(TRunContext& ctx) const override {
        if constexpr (O >= TBinOp::Eq) {
            if constexpr (L == TLeftShape::Any) {
                Variant l = Left->Eval(ctx);
                if (l.Type() == TVarType::Integer)
                    return IntegerOp<O>(l.IntValue(), Constant);
                return CompareOp(O, l, Variant(Constant));
            } else {
                const Variant& l = Read(ctx);
                if (l.Type() == TVarType::Integer)
                    return IntegerOp<O>(l.IntValue(), Constant);
                return CompareOp(O, l, Variant(Constant));
            }
        } else {
            return Eval(ctx).AsBoolean();
        }
    }

private:
    const Variant& Read(TRunContext& ctx) const {
        if constexpr (L == TLeftShape::Local)
            return ctx.Locals[Slot];
        else if constexpr (L == TLeftShape::Global)
            return ctx.Globals[Slot];
        else
            return *ctx.Refs[Slot];
    }
    int Constant;
    int Slot = 0;
};

template <TBinOp O> TExprPtr MakeConstRight(int line, int column, TExprPtr l, TExprPtr r) {
    TLeftShape shape = TLeftShape::Any;
    if (auto* var = dynamic_cast<const TVarExprBase*>(l.get())) {
        switch (var->Place.Access) {
        case TAccess::Local:
            shape = TLeftShape::Local;
            break;
        case TAccess::Global:
            shape = TLeftShape::Global;
            break;
        case TAccess::Ref:
            shape = TLeftShape::Ref;
            break;
        default:
            break;
        }
    }
    switch (shape) {
    case TLeftShape::Local:
        return std::make_unique<TConstRightExpr<O, TLeftShape::Local>>(line, column, std::move(l),
                                                                       std::move(r));
    case TLeftShape::Global:
        return std::make_unique<TConstRightExpr<O, TLeftShape::Global>>(line, column, std::move(l),
                                                                        std::move(r));
    case TLeftShape::Ref:
        return std::make_unique<TConstRightExpr<O, TLeftShape::Ref>>(line, column, std::move(l),
                                                                     std::move(r));
    case TLeftShape::Any:
        break;
    }
    return std::make_unique<TConstRightExpr<O, TLeftShape::Any>>(line, column, std::move(l), std::move(r));
}

// and / or evaluate their right side only when a Boolean left side does not decide the result already.
template <bool IsAnd> class TShortCircuitExpr final : public TBinaryExprBase {
public:
    TShortCircuitExpr(int line, int column, TExprPtr left, TExprPtr right)
        : TBinaryExprBase(line, column, IsAnd ? TBinOp::And : TBinOp::Or, std::move(left), std::move(right)) {
    }

    Variant Eval(TRunContext& ctx) const override {
        Variant l = Left->Eval(ctx);
        if (l.Type() == TVarType::Boolean && l.BoolValue() != IsAnd)
            return l;
        return BinaryOp(Op, l, Right->Eval(ctx));
    }
    bool EvalBool(TRunContext& ctx) const override {
        Variant l = Left->Eval(ctx);
        if (l.Type() == TVarType::Boolean) {
            if (l.BoolValue() != IsAnd)
                return l.BoolValue();
            return Right->EvalBool(ctx);
        }
        return BinaryOp(Op, l, Right->Eval(ctx)).AsBoolean();
    }
};

} // namespace

TExprPtr MakeVarExpr(int line, int column, TVarPlace place, TTypeKind type, const TTypeInfo* info) {
    return ByAccess<TVarExpr, TExpr>(place.Access, line, column, place, type, info);
}

TTypeKind TLiteralExpr::StaticKind() const {
    switch (Value.Type()) {
    case TVarType::Boolean:
        return TTypeKind::Boolean;
    case TVarType::Integer:
        return TTypeKind::Integer;
    case TVarType::Double:
        return TTypeKind::Double;
    case TVarType::String:
        return TTypeKind::String;
    default:
        return TTypeKind::Variant;
    }
}

TTypeKind TBinaryExprBase::StaticKind() const {
    if (Op >= TBinOp::Eq)
        return TTypeKind::Boolean;
    TTypeKind left = Left->StaticKind(), right = Right->StaticKind();
    if ((Op == TBinOp::And || Op == TBinOp::Or || Op == TBinOp::Xor) && left == TTypeKind::Boolean &&
        right == TTypeKind::Boolean)
        return TTypeKind::Boolean;
    return left == TTypeKind::Integer && right == TTypeKind::Integer && Op != TBinOp::Divide
               ? TTypeKind::Integer
               : TTypeKind::Variant;
}

TTypeKind TUnaryExpr::StaticKind() const {
    TTypeKind kind = Operand->StaticKind();
    return kind == TTypeKind::Boolean || kind == TTypeKind::Integer ? kind : TTypeKind::Variant;
}

TBinaryExprBase::TBinaryExprBase(int line, int column, TBinOp op, TExprPtr left, TExprPtr right)
    : TExpr(line, column), Op(op), Left(std::move(left)), Right(std::move(right)) {
    Depth = MaxDepth(Left, Right);
}

TExprPtr MakeBinaryExpr(int line, int column, TBinOp op, TExprPtr l, TExprPtr r) {
    auto* constant = dynamic_cast<const TLiteralExpr*>(r.get());
    // div and mod by a constant 0 keep the general node, which raises when it runs.
    if (constant && constant->Value.Type() == TVarType::Integer && !l->IsConstant() &&
        !((op == TBinOp::IntDiv || op == TBinOp::Mod) && constant->Value.IntValue() == 0)) {
        switch (op) {
#define KALMORA_CONST_RIGHT(name)                                                                            \
    case TBinOp::name:                                                                                       \
        return MakeConstRight<TBinOp::name>(line, column, std::move(l), std::move(r));
            KALMORA_CONST_RIGHT(Add)
            KALMORA_CONST_RIGHT(Sub)
            KALMORA_CONST_RIGHT(Mul)
            KALMORA_CONST_RIGHT(IntDiv)
            KALMORA_CONST_RIGHT(Mod)
            KALMORA_CONST_RIGHT(Eq)
            KALMORA_CONST_RIGHT(Ne)
            KALMORA_CONST_RIGHT(Lt)
            KALMORA_CONST_RIGHT(Le)
            KALMORA_CONST_RIGHT(Gt)
            KALMORA_CONST_RIGHT(Ge)
#undef KALMORA_CONST_RIGHT
        default:
            break;
        }
    }
    switch (op) {
#define KALMORA_BINARY(name)                                                                                 \
    case TBinOp::name:                                                                                       \
        return std::make_unique<TBinaryExpr<TBinOp::name>>(line, column, std::move(l), std::move(r));
        KALMORA_BINARY(Add)
        KALMORA_BINARY(Sub)
        KALMORA_BINARY(Mul)
        KALMORA_BINARY(Divide)
        KALMORA_BINARY(IntDiv)
        KALMORA_BINARY(Mod)
        KALMORA_BINARY(Xor)
        KALMORA_BINARY(Shl)
        KALMORA_BINARY(Shr)
        KALMORA_BINARY(Eq)
        KALMORA_BINARY(Ne)
        KALMORA_BINARY(Lt)
        KALMORA_BINARY(Le)
        KALMORA_BINARY(Gt)
        KALMORA_BINARY(Ge)
#undef KALMORA_BINARY
    case TBinOp::And:
        return std::make_unique<TShortCircuitExpr<true>>(line, column, std::move(l), std::move(r));
    case TBinOp::Or:
        return std::make_unique<TShortCircuitExpr<false>>(line, column, std::move(l), std::move(r));
    }
    return nullptr;
}

TUnaryExpr::TUnaryExpr(int line, int column, bool isNot, TExprPtr operand)
    : TExpr(line, column), IsNot(isNot), Operand(std::move(operand)) {
    Depth = Operand->Depth + 1;
}

Variant TUnaryExpr::Eval(TRunContext& ctx) const {
    Variant v = Operand->Eval(ctx);
    return IsNot ? NotOp(v) : NegateOp(v);
}

TSetExpr::TSetExpr(int line, int column, std::vector<TItem> items)
    : TExpr(line, column), Items(std::move(items)) {
    for (const TItem& item : Items)
        Depth = std::max(Depth, MaxDepth(item.Low, item.High));
}

bool TSetExpr::IsConstant() const {
    return std::all_of(Items.begin(), Items.end(), [](const TItem& item) {
        return item.Low->IsConstant() && (!item.High || item.High->IsConstant());
    });
}

Variant TSetExpr::Eval(TRunContext& ctx) const {
    std::vector<Variant> values;
    values.reserve(Items.size());
    for (const TItem& item : Items) {
        if (!item.High) {
            values.push_back(item.Low->Eval(ctx));
            continue;
        }
        Variant low = item.Low->Eval(ctx);
        Variant high = item.High->Eval(ctx);
        bool chars = low.IsString() && high.IsString();
        std::int64_t from = chars ? static_cast<unsigned char>(low.StringValue()[0]) : low.AsInteger();
        std::int64_t to = chars ? static_cast<unsigned char>(high.StringValue()[0]) : high.AsInteger();
        if (chars && (low.StringValue().size() != 1 || high.StringValue().size() != 1))
            Fail("A range needs single characters or integers");
        std::int64_t count = std::max<std::int64_t>(0, to - from + 1);
        if (static_cast<std::int64_t>(values.size()) + count > ctx.MaxArrayElements)
            Fail("Set range too large");
        ctx.StepItems(static_cast<std::size_t>(count), Line, Column);
        for (std::int64_t v = from; v <= to; ++v)
            values.push_back(chars ? Variant(std::string(1, static_cast<char>(v)))
                                   : Variant(static_cast<int>(v)));
    }
    return Variant(std::move(values));
}

bool TSetExpr::Contains(TRunContext& ctx, const Variant& value) const {
    for (const TItem& item : Items) {
        if (!item.High) {
            if (ValuesEqual(value, item.Low->Eval(ctx)))
                return true;
            continue;
        }
        Variant low = item.Low->Eval(ctx);
        Variant high = item.High->Eval(ctx);
        if (value.IsString() != low.IsString() || !(value.IsString() || value.IsNumeric()))
            continue;
        if (CompareOp(TBinOp::Ge, value, low) && CompareOp(TBinOp::Le, value, high))
            return true;
    }
    return false;
}

TInExpr::TInExpr(int line, int column, TExprPtr value, TExprPtr set)
    : TExpr(line, column), Value(std::move(value)), Set(std::move(set)) {
    Depth = MaxDepth(Value, Set);
}

bool TInExpr::EvalBool(TRunContext& ctx) const {
    Variant value = Value->Eval(ctx);
    if (auto* literal = dynamic_cast<const TSetExpr*>(Set.get()))
        return literal->Contains(ctx, value);
    Variant set = Set->Eval(ctx);
    if (set.IsEmpty())
        return false;
    if (!set.IsArray())
        Fail("'in' needs a set or an array on its right, not " + std::string(Variant::TypeName(set.Type())));
    ctx.StepItems(set.Items().size(), Line, Column);
    for (const Variant& item : set.Items())
        if (ValuesEqual(value, item))
            return true;
    return false;
}

} // namespace kalmora::script
