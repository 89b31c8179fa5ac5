#include "ScriptStatements.h"

#include "ScriptExceptions.h"
#include "ScriptLexer.h"
#include "runtime/Exceptions.h"

#include <array>
#include <new>

namespace kalmora::script {
namespace {

inline TFlow Run(const TStmtPtr& stmt, TRunContext& ctx) {
    return stmt ? stmt->Exec(ctx) : TFlow::Normal;
}

template <TAccess A> class TAssignStmt final : public TStmt {
public:
    TAssignStmt(int line, int column, TVarPlace place, TTypeKind type, TExprPtr value)
        : TStmt(line, column), Place(place), Type(type), Value(std::move(value)) {}
    TFlow Exec(TRunContext& ctx) const override {
        ctx.Step(Line, Column);
        Variant value = Value->Eval(ctx);
        Coerce(Type, value);
        SlotOf<A>(ctx, Place.Level, Place.Slot) = std::move(value);
        return TFlow::Normal;
    }
    TVarPlace Place;
    TTypeKind Type;
    TExprPtr Value;
};

constexpr std::size_t MaxAppendTerms = 8;

// The values of an append's terms, built only for the terms that are not constants.
class TTermValues {
public:
    TTermValues() = default;
    TTermValues(const TTermValues&) = delete;
    TTermValues& operator=(const TTermValues&) = delete;
    ~TTermValues() {
        for (std::size_t i = 0; i < FCount; ++i)
            std::launder(reinterpret_cast<Variant*>(FStore) + i)->~Variant();
    }
    Variant& Add(Variant value) {
        auto* slot = new (FStore + FCount * sizeof(Variant)) Variant(std::move(value));
        ++FCount;
        return *slot;
    }

private:
    alignas(Variant) unsigned char FStore[MaxAppendTerms * sizeof(Variant)];
    std::size_t FCount = 0;
};

// Room for a text that an append outgrows. A long one grows fourfold instead of twofold: each move copies
// it and touches every page of its new block, while the part of a block not yet written costs nothing.
std::size_t AppendCapacity(std::size_t capacity, std::size_t needed, std::size_t limit) {
    constexpr std::size_t LongText = 1u << 20;
    if (needed < LongText || capacity > limit / 4)
        return needed;
    return std::max(needed, std::min(capacity * 4, limit));
}

template <TAccess A> class TAppendStmt final : public TStmt {
public:
    TAppendStmt(int line, int column, TVarPlace place, TTypeKind type, std::vector<TExprPtr> terms)
        : TStmt(line, column), Place(place), Type(type), Terms(std::move(terms)) {
        for (const TExprPtr& term : Terms) {
            auto* literal = dynamic_cast<const TLiteralExpr*>(term.get());
            Constants.push_back(literal && literal->Value.IsString() ? &literal->Value : nullptr);
        }
    }

    TFlow Exec(TRunContext& ctx) const override {
        ctx.Step(Line, Column);
        // Every term is evaluated before the target changes: a term may read it (s := s + s).
        TTermValues temporaries;
        std::array<Variant*, MaxAppendTerms> values{};
        std::array<const Variant*, MaxAppendTerms> parts{};
        for (std::size_t i = 0; i < Terms.size(); ++i) {
            if (Constants[i]) {
                parts[i] = Constants[i];
            } else {
                values[i] = &temporaries.Add(Terms[i]->Eval(ctx));
                parts[i] = values[i];
            }
        }
        Variant& target = SlotOf<A>(ctx, Place.Level, Place.Slot);
        if (target.IsString()) {
            std::size_t total = target.StringValue().size();
            for (std::size_t i = 0; i < Terms.size(); ++i) {
                if (!parts[i]->IsString()) {
                    if (parts[i]->IsArray() || parts[i]->IsObject())
                        BinaryOp(TBinOp::Add, target, *parts[i]); // raises the operator's error
                    *values[i] = Variant(parts[i]->AsString());
                }
                total += parts[i]->StringValue().size();
            }
            ctx.CheckStringSize(total, Line, Column);
            std::string& text = target.StringValue();
            if (total > text.capacity())
                text.reserve(AppendCapacity(text.capacity(), total, ctx.MaxStringBytes));
            for (std::size_t i = 0; i < Terms.size(); ++i)
                text += parts[i]->StringValue();
            return TFlow::Normal;
        }
        Variant sum = target;
        for (std::size_t i = 0; i < Terms.size(); ++i) {
            sum = BinaryOp(TBinOp::Add, sum, *parts[i]);
            if (sum.IsString())
                ctx.CheckStringSize(sum.StringValue().size(), Line, Column);
        }
        Coerce(Type, sum);
        SlotOf<A>(ctx, Place.Level, Place.Slot) = std::move(sum);
        return TFlow::Normal;
    }
    TVarPlace Place;
    TTypeKind Type;
    std::vector<TExprPtr> Terms;
    std::vector<const Variant*> Constants; // per term: its value when it is a constant text
};

// What a for loop counts: integers, or the characters or Booleans of a Char or Boolean counter, each by its
// ordinal.
enum class TCounter : std::uint8_t { Integer, Char, Boolean };

template <TAccess A, TCounter C> class TForStmt final : public TStmt {
public:
    TForStmt(int line, int column, TVarPlace place, TExprPtr from, TExprPtr to, bool down, TStmtPtr body)
        : TStmt(line, column), Place(place), From(std::move(from)), To(std::move(to)), Down(down),
          Body(std::move(body)) {}

    TFlow Exec(TRunContext& ctx) const override {
        ctx.Step(Line, Column);
        std::int64_t from = Ordinal(From->Eval(ctx));
        std::int64_t to = Ordinal(To->Eval(ctx));
        std::int64_t step = Down ? -1 : 1;
        for (std::int64_t i = from; Down ? i >= to : i <= to; i += step) {
            Variant& counter = SlotOf<A>(ctx, Place.Level, Place.Slot);
            if constexpr (C == TCounter::Integer)
                counter.AssignInteger(static_cast<int>(i));
            else if constexpr (C == TCounter::Char)
                counter = Variant(std::string(1, static_cast<char>(i)));
            else
                counter = Variant(i != 0);
            ctx.Step(Line, Column);
            if (!Body)
                continue;
            TFlow flow = Body->Exec(ctx);
            if (flow == TFlow::Break)
                break;
            if (flow == TFlow::Exit)
                return flow;
        }
        return TFlow::Normal;
    }
    TVarPlace Place;
    TExprPtr From;
    TExprPtr To;
    bool Down;
    TStmtPtr Body;

private:
    std::int64_t Ordinal(const Variant& bound) const {
        if constexpr (C == TCounter::Integer) {
            return bound.AsInteger();
        } else if constexpr (C == TCounter::Char) {
            if (!bound.IsString() || bound.StringValue().size() != 1)
                Fail("The bounds of a Char loop counter must be characters");
            return static_cast<unsigned char>(bound.StringValue()[0]);
        } else {
            return bound.AsBoolean() ? 1 : 0;
        }
    }
};

template <TAccess A> using TIntegerForStmt = TForStmt<A, TCounter::Integer>;
template <TAccess A> using TCharForStmt = TForStmt<A, TCounter::Char>;
template <TAccess A> using TBooleanForStmt = TForStmt<A, TCounter::Boolean>;

} // namespace

TStmtPtr MakeAssignStmt(int line, int column, const TVarExprBase& target, TExprPtr value) {
    return ByAccess<TAssignStmt, TStmt>(target.Place.Access, line, column, target.Place, target.Type,
                                        std::move(value));
}

TStmtPtr MakeAppendStmt(int line, int column, const TVarExprBase& target, std::vector<TExprPtr> terms) {
    if (terms.empty() || terms.size() > MaxAppendTerms)
        return nullptr;
    return ByAccess<TAppendStmt, TStmt>(target.Place.Access, line, column, target.Place, target.Type,
                                        std::move(terms));
}

TStmtPtr MakeForStmt(int line, int column, const TVarExprBase& counter, TExprPtr from, TExprPtr to, bool down,
                     TStmtPtr body) {
    switch (counter.Type) {
    case TTypeKind::String:
        return ByAccess<TCharForStmt, TStmt>(counter.Place.Access, line, column, counter.Place,
                                             std::move(from), std::move(to), down, std::move(body));
    case TTypeKind::Boolean:
        return ByAccess<TBooleanForStmt, TStmt>(counter.Place.Access, line, column, counter.Place,
                                                std::move(from), std::move(to), down, std::move(body));
    default:
        return ByAccess<TIntegerForStmt, TStmt>(counter.Place.Access, line, column, counter.Place,
                                                std::move(from), std::move(to), down, std::move(body));
    }
}

TFlow TBlockStmt::Exec(TRunContext& ctx) const {
    for (const TStmtPtr& stmt : Body) {
        TFlow flow = stmt->Exec(ctx);
        if (flow != TFlow::Normal)
            return flow;
    }
    return TFlow::Normal;
}

TFlow TExprStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    Expr->Eval(ctx);
    return TFlow::Normal;
}

TFlow TFixedArrayAssignStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    Variant value = Value->Eval(ctx);
    AssignFixedArray(SlotOf(ctx, Target), std::move(value));
    return TFlow::Normal;
}

TFlow TElementAssignStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    Target->Store(ctx, Value->Eval(ctx));
    return TFlow::Normal;
}

TFlow TIfStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    return Cond->EvalBool(ctx) ? Run(Then, ctx) : Run(Else, ctx);
}

// One pass of a loop's body; false when the loop ends there. An exit stays in `flow` for the loop to pass on.
bool Iterate(const TStmtPtr& body, TRunContext& ctx, int line, int column, TFlow& flow) {
    ctx.Step(line, column);
    flow = Run(body, ctx);
    return flow != TFlow::Break && flow != TFlow::Exit;
}

TFlow TWhileStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    TFlow flow = TFlow::Normal;
    while (Cond->EvalBool(ctx) && Iterate(Body, ctx, Line, Column, flow)) {
    }
    return flow == TFlow::Exit ? flow : TFlow::Normal;
}

TFlow TRepeatStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    TFlow flow = TFlow::Normal;
    while (Iterate(Body, ctx, Line, Column, flow) && !Cond->EvalBool(ctx)) {
    }
    return flow == TFlow::Exit ? flow : TFlow::Normal;
}

TFlow TCaseStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    Variant selector = Selector->Eval(ctx);
    for (const TBranch& branch : Branches)
        for (const TLabel& label : branch.Labels) {
            bool hit = false;
            if (!label.IsRange)
                hit = ValuesEqual(selector, label.Low);
            else if (selector.IsString() == label.Low.IsString() && !selector.IsArray() &&
                     !selector.IsObject())
                hit =
                    CompareOp(TBinOp::Ge, selector, label.Low) && CompareOp(TBinOp::Le, selector, label.High);
            if (hit)
                return Run(branch.Body, ctx);
        }
    return Run(Else, ctx);
}

TFlow TTryExceptStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    try {
        return Run(Body, ctx);
    } catch (const EScriptLimit&) {
        throw;
    } catch (const std::exception& error) {
        // Handlers run inside the catch, so a bare raise in them re-raises this exception.
        return Handle(ctx, error);
    }
}

TFlow TTryExceptStmt::Handle(TRunContext& ctx, const std::exception& error) const {
    if (Handlers.empty())
        return Run(HandlerBody, ctx);
    for (const THandler& handler : Handlers) {
        if (!Classes->Matches(error, handler.ClassName))
            continue;
        if (handler.Slot >= 0) {
            auto* own = dynamic_cast<const Exception*>(&error);
            Variant object = Variant::FromObject(new TScriptExceptionObject(
                std::string(ExceptionClassName(error)), own ? own->Message() : std::string(error.what()),
                std::current_exception()));
            (handler.Access == TAccess::Local ? ctx.Locals : ctx.Globals)[handler.Slot] = std::move(object);
        }
        return Run(handler.Body, ctx);
    }
    if (HasElse)
        return Run(HandlerBody, ctx);
    throw;
}

TFlow TTryFinallyStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    TFlow flow = TFlow::Normal;
    try {
        flow = Run(Body, ctx);
    } catch (...) {
        Run(Finally, ctx);
        throw;
    }
    TFlow after = Run(Finally, ctx);
    return after != TFlow::Normal ? after : flow;
}

TFlow TRaiseStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    if (!ClassName.empty())
        Classes->Raise(ClassName, Message ? Message->Eval(ctx).AsString() : std::string());
    if (Object) {
        Variant value = Object->Eval(ctx);
        auto* error = value.IsObject() ? dynamic_cast<TScriptExceptionObject*>(value.ObjectValue()) : nullptr;
        if (!error)
            Fail("raise needs an exception object");
        std::rethrow_exception(error->Error);
    }
    std::exception_ptr current = std::current_exception();
    if (!current)
        Fail("raise without an exception outside an exception handler");
    std::rethrow_exception(current);
}

TFlow TFlowStmt::Exec(TRunContext& ctx) const {
    ctx.Step(Line, Column);
    if (Result) {
        Variant value = Result->Eval(ctx);
        Coerce(ResultType, value);
        ctx.Locals[ResultSlot] = std::move(value);
    }
    return Flow;
}

} // namespace kalmora::script
