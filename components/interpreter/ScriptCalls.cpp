// Calls: script routines with their frames, host functions and members through the argument record, and
// names left to OnGetValue.

#include "ScriptExpressions.h"
#include "ScriptLexer.h"

#include <algorithm>

namespace kalmora::script {
namespace {

// Makes a routine's frame the running one for the call and restores the caller's however the call ends. Only
// a routine with nested routines in it enters its frame into the display, since only they read it there.
class TCallFrame {
public:
    TCallFrame(TRunContext& ctx, const TRoutine& routine)
        : FCtx(ctx), FMark(ctx.Stack.Mark()), FLocals(ctx.Locals), FRefs(ctx.Refs),
          FLevel(routine.Encloses ? routine.Level : 0) {
        if (FLevel)
            FOuter = ctx.Display[FLevel];
    }
    TCallFrame(const TCallFrame&) = delete;
    TCallFrame& operator=(const TCallFrame&) = delete;
    void Enter(Variant* vars, Variant** refs) noexcept {
        FCtx.Locals = vars;
        FCtx.Refs = refs;
        if (FLevel)
            FCtx.Display[FLevel] = {vars, refs};
        ++FCtx.CallDepth;
        FEntered = true;
    }
    ~TCallFrame() {
        FCtx.CallDepth -= FEntered ? 1 : 0;
        if (FLevel)
            FCtx.Display[FLevel] = FOuter;
        FCtx.Locals = FLocals;
        FCtx.Refs = FRefs;
        FCtx.Stack.Release(FMark);
    }

private:
    TRunContext& FCtx;
    TValueStack::TMark FMark;
    Variant* FLocals;
    Variant** FRefs;
    TFrame FOuter;
    int FLevel;
    bool FEntered = false;
};

const TIndexExpr* ElementArg(const TExprPtr& arg) {
    auto* element = dynamic_cast<const TIndexExpr*>(arg.get());
    return element && element->IsVariable() ? element : nullptr;
}

} // namespace

TScriptCallExpr::TScriptCallExpr(int line, int column, const TRoutine* routine, std::vector<TExprPtr> args)
    : TExpr(line, column), Routine(routine), Args(std::move(args)) {
    for (std::size_t i = 0; i < Args.size(); ++i) {
        Depth = std::max(Depth, Args[i]->Depth + 1);
        const TParam& param = Routine->Params[i];
        const TIndexExpr* element = param.ByRef ? ElementArg(Args[i]) : nullptr;
        FBindings.push_back({Args[i].get(), element, Routine->ParamSlots[i], param.Type, param.ByRef});
        FElementArgs = FElementArgs || element;
    }
}

Variant TScriptCallExpr::Eval(TRunContext& ctx) const {
    return FElementArgs ? EvalWithElements(ctx) : Call(ctx, nullptr);
}

Variant TScriptCallExpr::EvalWithElements(TRunContext& ctx) const {
    auto elements = std::make_unique<TElementRef[]>(Args.size());
    return Call(ctx, elements.get());
}

Variant TScriptCallExpr::Call(TRunContext& ctx, TElementRef* elements) const {
    const TRoutine& routine = *Routine;
    if (ctx.CallDepth >= ctx.MaxCallDepth)
        throw EScriptLimit("Calls nested deeper than " + std::to_string(ctx.MaxCallDepth), Line, Column);
    char probe = 0;
    if (reinterpret_cast<std::uintptr_t>(&probe) < ctx.StackFloor)
        throw EScriptLimit("Calls nested too deep for the stack", Line, Column);

    TCallFrame frame(ctx, routine);
    Variant* vars = ctx.Stack.Alloc(routine.FrameSize);
    Variant* refBuffer[8];
    std::unique_ptr<Variant*[]> refHeap;
    Variant** refs = refBuffer;
    if (routine.RefCount > 8) {
        refHeap = std::make_unique<Variant*[]>(static_cast<std::size_t>(routine.RefCount));
        refs = refHeap.get();
    }
    // Arguments are evaluated in the caller's frame, straight into the callee's slots.
    for (std::size_t i = 0; i < FBindings.size(); ++i) {
        const TBinding& arg = FBindings[i];
        if (!arg.ByRef) {
            Variant& slot = vars[arg.Slot];
            slot = arg.Expr->Eval(ctx);
            Coerce(arg.Type, slot);
        } else if (arg.Element && elements) {
            refs[arg.Slot] = elements[i].Bind(ctx, *arg.Element);
        } else {
            refs[arg.Slot] = arg.Expr->Address(ctx);
        }
    }
    const Variant* initial = routine.Initial.data();
    for (Variant *slot = vars + routine.FirstLocal, *end = vars + routine.FrameSize; slot != end; ++slot)
        *slot = *initial++;

    frame.Enter(vars, refs);
    routine.Body->Exec(ctx);
    if (elements)
        for (std::size_t i = 0; i < Args.size(); ++i)
            elements[i].WriteBack(*this);
    if (routine.ResultSlot < 0)
        return Variant();
    return std::move(vars[routine.ResultSlot]);
}

THostCallBase::THostCallBase(int line, int column, std::string name, std::vector<TExprPtr> args)
    : TExpr(line, column), Name(std::move(name)), Args(std::move(args)) {
    for (const TExprPtr& arg : Args) {
        Depth = std::max(Depth, arg->Depth + 1);
        FHasElements = FHasElements || ElementArg(arg);
    }
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

    // An element passed by reference is located once; the host's change goes back to that place.
    std::unique_ptr<TElementRef[]> elements;
    std::unique_ptr<Variant*[]> places;
    if (FHasElements) {
        elements = std::make_unique<TElementRef[]>(Args.size());
        places = std::make_unique<Variant*[]>(Args.size());
    }
    args.Values.clear();
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const TIndexExpr* element = elements ? ElementArg(Args[i]) : nullptr;
        if (element && entry.IsByRef(static_cast<int>(i))) {
            places[i] = elements[i].Bind(ctx, *element);
            args.Values.push_back(*places[i]);
        } else {
            args.Values.push_back(Args[i]->Eval(ctx));
        }
    }
    args.FObj = obj;
    Variant result;
    entry.Function(result, args);
    for (std::size_t i = 0; i < Args.size() && i < args.Values.size(); ++i) {
        if (!entry.IsByRef(static_cast<int>(i)))
            continue;
        Variant* target = places && places[i] ? places[i] : nullptr;
        if (!target && !dynamic_cast<const TVarExprBase*>(Args[i].get()))
            continue;
        Variant value = std::move(args.Values[i]);
        ConvertTo(Args[i]->StaticKind(), value);
        *(target ? target : Args[i]->Address(ctx)) = std::move(value);
        if (target)
            elements[i].WriteBack(*this);
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
