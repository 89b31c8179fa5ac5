#include "ScriptExpressions.h"

#include "ScriptLexer.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora::script {
namespace {

int MaxDepth(const TExprPtr& a, const TExprPtr& b) {
    return std::max(a ? a->Depth : 0, b ? b->Depth : 0) + 1;
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
            if (l.Type() == TVarType::Integer && r.Type() == TVarType::Integer) {
                int a = l.IntValue(), b = r.IntValue();
                if constexpr (O == TBinOp::Add)
                    return Variant(WrapAdd(a, b));
                if constexpr (O == TBinOp::Sub)
                    return Variant(WrapSub(a, b));
                if constexpr (O == TBinOp::Mul)
                    return Variant(WrapMul(a, b));
                if constexpr (O == TBinOp::IntDiv)
                    return Variant(IntDivide(a, b));
                if constexpr (O == TBinOp::Mod)
                    return Variant(IntModulo(a, b));
            }
            if constexpr (O == TBinOp::Add) {
                if (l.IsString() && r.IsString()) {
                    ctx.CheckStringSize(l.StringValue().size() + r.StringValue().size(), Line, Column);
                    l.StringValue() += r.StringValue();
                    return l;
                }
                if (l.IsString() || r.IsString()) {
                    Variant joined = BinaryOp(O, l, r);
                    ctx.CheckStringSize(joined.StringValue().size(), Line, Column);
                    return joined;
                }
            }
            return BinaryOp(O, l, r);
        }
    }

    bool EvalBool(TRunContext& ctx) const override {
        if constexpr (O >= TBinOp::Eq) {
            Variant l = Left->Eval(ctx);
            Variant r = Right->Eval(ctx);
            if (l.Type() == TVarType::Integer && r.Type() == TVarType::Integer) {
                int a = l.IntValue(), b = r.IntValue();
                if constexpr (O == TBinOp::Eq)
                    return a == b;
                if constexpr (O == TBinOp::Ne)
                    return a != b;
                if constexpr (O == TBinOp::Lt)
                    return a < b;
                if constexpr (O == TBinOp::Le)
                    return a <= b;
                if constexpr (O == TBinOp::Gt)
                    return a > b;
                if constexpr (O == TBinOp::Ge)
                    return a >= b;
            }
            return CompareOp(O, l, r);
        } else {
            return Eval(ctx).AsBoolean();
        }
    }
};

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

TExprPtr MakeVarExpr(int line, int column, TAccess access, int slot, TTypeKind type) {
    switch (access) {
    case TAccess::Local:
        return std::make_unique<TVarExpr<TAccess::Local>>(line, column, slot, type);
    case TAccess::Global:
        return std::make_unique<TVarExpr<TAccess::Global>>(line, column, slot, type);
    case TAccess::Ref:
        break;
    }
    return std::make_unique<TVarExpr<TAccess::Ref>>(line, column, slot, type);
}

TBinaryExprBase::TBinaryExprBase(int line, int column, TBinOp op, TExprPtr left, TExprPtr right)
    : TExpr(line, column), Op(op), Left(std::move(left)), Right(std::move(right)) {
    Depth = MaxDepth(Left, Right);
}

TExprPtr MakeBinaryExpr(int line, int column, TBinOp op, TExprPtr l, TExprPtr r) {
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

TIndexExpr::TIndexExpr(int line, int column, TExprPtr base, TExprPtr index)
    : TExpr(line, column), Base(std::move(base)), Index(std::move(index)) {
    Depth = MaxDepth(Base, Index);
}

Variant TIndexExpr::Eval(TRunContext& ctx) const {
    Variant base = Base->Eval(ctx);
    int i = Index->Eval(ctx).AsInteger();
    if (base.IsString()) {
        const std::string& text = base.StringValue();
        if (i < 1 || static_cast<std::size_t>(i) > text.size())
            Fail("Index " + std::to_string(i) + " out of range 1.." + std::to_string(text.size()));
        return Variant(std::string(1, text[static_cast<std::size_t>(i - 1)]));
    }
    if (base.IsArray()) {
        if (i < 0 || i >= base.ArrayLength())
            Fail("Index " + std::to_string(i) + " out of range 0.." + std::to_string(base.ArrayLength() - 1));
        return base.Items()[static_cast<std::size_t>(i)];
    }
    Fail("A value of type " + std::string(Variant::TypeName(base.Type())) + " cannot be indexed");
}

Variant* TIndexExpr::Address(TRunContext& ctx) const {
    int i = Index->Eval(ctx).AsInteger();
    Variant* base = Base->Address(ctx);
    if (!base || !base->IsArray())
        Fail("Only array elements can be assigned by index");
    if (i < 0 || i >= base->ArrayLength())
        Fail("Index " + std::to_string(i) + " out of range 0.." + std::to_string(base->ArrayLength() - 1));
    return &base->Items()[static_cast<std::size_t>(i)];
}

TScriptCallExpr::TScriptCallExpr(int line, int column, const TRoutine* routine, std::vector<TExprPtr> args)
    : TExpr(line, column), Routine(routine), Args(std::move(args)) {
    for (const TExprPtr& arg : Args)
        Depth = std::max(Depth, arg->Depth + 1);
}

namespace {

// Restores the caller's frame however the call ends.
class TFrameGuard {
public:
    TFrameGuard(TRunContext& ctx)
        : FCtx(ctx), FMark(ctx.Stack.Mark()), FLocals(ctx.Locals), FRefs(ctx.Refs) {}
    ~TFrameGuard() {
        FCtx.Locals = FLocals;
        FCtx.Refs = FRefs;
        FCtx.Stack.Release(FMark);
    }
    TFrameGuard(const TFrameGuard&) = delete;
    TFrameGuard& operator=(const TFrameGuard&) = delete;

private:
    TRunContext& FCtx;
    TValueStack::TMark FMark;
    Variant* FLocals;
    Variant** FRefs;
};

struct TDepthGuard {
    explicit TDepthGuard(int& depth) : Depth(depth) { ++Depth; }
    ~TDepthGuard() { --Depth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;
    int& Depth;
};

} // namespace

Variant TScriptCallExpr::Eval(TRunContext& ctx) const {
    const TRoutine& routine = *Routine;
    if (ctx.CallDepth >= ctx.MaxCallDepth)
        throw EScriptLimit("Calls nested deeper than " + std::to_string(ctx.MaxCallDepth), Line, Column);
    char probe = 0;
    if (reinterpret_cast<std::uintptr_t>(&probe) < ctx.StackFloor)
        throw EScriptLimit("Calls nested too deep for the stack", Line, Column);
    if (!routine.Body)
        Fail("Routine '" + routine.Name + "' is declared forward but never defined");

    TFrameGuard frame(ctx);
    Variant* vars = ctx.Stack.Alloc(routine.VarTypes.size());
    Variant* refBuffer[8];
    std::unique_ptr<Variant*[]> refHeap;
    Variant** refs = refBuffer;
    if (routine.RefCount > 8) {
        refHeap = std::make_unique<Variant*[]>(static_cast<std::size_t>(routine.RefCount));
        refs = refHeap.get();
    }
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const TParam& param = routine.Params[i];
        int slot = routine.ParamSlots[i];
        if (param.ByRef) {
            refs[slot] = Args[i]->Address(ctx);
        } else {
            vars[slot] = Args[i]->Eval(ctx);
            ConvertTo(param.Type, vars[slot]);
        }
    }
    for (std::size_t i = 0; i < routine.VarTypes.size(); ++i)
        if (vars[i].IsEmpty() && routine.VarTypes[i] != TTypeKind::Variant)
            vars[i] = DefaultOf(routine.VarTypes[i]);
    for (const auto& [slot, value] : routine.Inits)
        vars[slot] = value;

    TDepthGuard depth(ctx.CallDepth);
    ctx.Locals = vars;
    ctx.Refs = refs;
    routine.Body->Exec(ctx);
    if (routine.ResultSlot < 0)
        return Variant();
    return std::move(vars[routine.ResultSlot]);
}

THostCallBase::THostCallBase(int line, int column, std::string name, std::vector<TExprPtr> args)
    : TExpr(line, column), Name(std::move(name)), Args(std::move(args)) {
    for (const TExprPtr& arg : Args)
        Depth = std::max(Depth, arg->Depth + 1);
}

Variant THostCallBase::Invoke(TRunContext& ctx, const TAdapterEntry& entry, TScriptObject* obj) const {
    TJvInterpreterArgs spare;
    TJvInterpreterArgs& args = FBusy ? spare : FArgs;
    bool owner = !FBusy;
    FBusy = true;
    struct TRelease {
        TJvInterpreterArgs& Args;
        bool& Busy;
        bool Owner;
        ~TRelease() {
            Args.Values.clear();
            Args.FObj = nullptr;
            if (Owner)
                Busy = false;
        }
    } release{args, FBusy, owner};

    args.Values.clear();
    for (const TExprPtr& arg : Args)
        args.Values.push_back(arg->Eval(ctx));
    args.FObj = obj;
    Variant result;
    entry.Function(result, args);
    for (std::size_t i = 0; i < Args.size() && i < args.Values.size(); ++i)
        if (entry.IsByRef(static_cast<int>(i)) && dynamic_cast<const TVarExprBase*>(Args[i].get())) {
            Variant value = std::move(args.Values[i]);
            ConvertTo(Args[i]->VarType(), value);
            *Args[i]->Address(ctx) = std::move(value);
        }
    return result;
}

TMemberExpr::TMemberExpr(int line, int column, std::string name, TExprPtr object,
                         std::vector<const TAdapterEntry*> own, std::vector<const TAdapterEntry*> global,
                         std::vector<TExprPtr> args)
    : THostCallBase(line, column, std::move(name), std::move(args)), Object(std::move(object)),
      Own(std::move(own)), Global(std::move(global)) {
    Depth = std::max(Depth, Object->Depth + 1);
}

const TAdapterEntry* TMemberExpr::Pick(const TScriptObject* obj) const {
    const std::type_info& type = typeid(*obj);
    if (FCachedType && *FCachedType == type)
        return FCachedEntry;
    // The program's members before the global ones; within a registry the one registered for the object's
    // own class, else the latest one registered for a base class.
    const TAdapterEntry* found = nullptr;
    for (const auto* list : {&Own, &Global}) {
        for (const TAdapterEntry* entry : *list) {
            if (!entry->Class.IsInstance || !entry->Class.IsInstance(obj))
                continue;
            if (entry->Class.Type && *entry->Class.Type == type) {
                found = entry;
                break;
            }
            found = entry;
        }
        if (found)
            break;
    }
    FCachedType = &type;
    FCachedEntry = found;
    return found;
}

Variant TMemberExpr::Eval(TRunContext& ctx) const {
    Variant target = Object->Eval(ctx);
    if (target.IsEmpty())
        Fail("Member '" + Name + "' called on nil");
    if (!target.IsObject())
        Fail("Member '" + Name + "' needs an object, not a value of type " +
             std::string(Variant::TypeName(target.Type())));
    TScriptObject* obj = target.ObjectValue();
    if (auto* error = dynamic_cast<TScriptExceptionObject*>(obj)) {
        if (!Args.empty())
            Fail("'" + Name + "' takes no arguments");
        if (LowerAsciiEquals(Name, "message"))
            return Variant(error->Message);
        if (LowerAsciiEquals(Name, "classname"))
            return Variant(error->ClassName);
        Fail("Exception objects have no member '" + Name + "'");
    }
    const TAdapterEntry* entry = Pick(obj);
    if (!entry) {
        // Host objects live by their owner or their count, never by a script's Free; Free is accepted and
        // leaves them alone unless a registry gives the class a Free of its own.
        if (Args.empty() && LowerAsciiEquals(Name, "free"))
            return Variant();
        Fail("Object has no member '" + Name + "'");
    }
    if (entry->ParamCount != static_cast<int>(Args.size()))
        Fail("Wrong number of arguments for '" + Name + "': expected " + std::to_string(entry->ParamCount) +
             ", got " + std::to_string(Args.size()));
    return Invoke(ctx, *entry, obj);
}

TIncExpr::TIncExpr(int line, int column, bool down, TExprPtr target, TExprPtr delta)
    : TExpr(line, column), Down(down), Target(std::move(target)), Delta(std::move(delta)) {
    Depth = MaxDepth(Target, Delta);
}

Variant TIncExpr::Eval(TRunContext& ctx) const {
    Variant delta = Delta ? Delta->Eval(ctx) : Variant(1);
    Variant& target = *Target->Address(ctx);
    if (target.Type() == TVarType::Integer && delta.Type() == TVarType::Integer)
        target.AssignInteger(Down ? WrapSub(target.IntValue(), delta.IntValue())
                                  : WrapAdd(target.IntValue(), delta.IntValue()));
    else
        target = BinaryOp(Down ? TBinOp::Sub : TBinOp::Add, target, delta);
    ConvertTo(Target->VarType(), target);
    return Variant();
}

Variant TDynamicExpr::Eval(TRunContext& ctx) const {
    if (ctx.Program && ctx.Program->OnGetValue) {
        TJvInterpreterProgram& program = *ctx.Program;
        TJvInterpreterArgs args;
        for (const TExprPtr& arg : Args)
            args.Values.push_back(arg->Eval(ctx));
        Variant value;
        bool done = false;
        program.OnGetValue(program, Name, value, args, done);
        if (done)
            return value;
    }
    Fail("Unknown identifier '" + Name + "'");
}

} // namespace kalmora::script
