#pragma once

// Expression nodes. Variables are read through their slot, calls go straight to the bound routine or
// registry entry; only names nothing declares reach the program's OnGetValue event at run time.

#include "ScriptNodes.h"
#include "ScriptOperators.h"

#include <typeinfo>

namespace kalmora::script {

class TLiteralExpr : public TExpr {
public:
    TLiteralExpr(int line, int column, Variant value) : TExpr(line, column), Value(std::move(value)) {}
    Variant Eval(TRunContext&) const override { return Value; }
    bool IsConstant() const override { return true; }
    TTypeKind StaticKind() const override;
    Variant Value;
};

// Where a variable lives: the running routine's frame, the globals, a var parameter of the running routine,
// or (for a nested routine) the frame or a var parameter of the enclosing routine at a fixed level.
enum class TAccess : std::uint8_t { Local, Global, Ref, Outer, OuterRef };

// A variable's place, bound by the compiler.
struct TVarPlace {
    TAccess Access = TAccess::Global;
    int Level = 0; // the enclosing routine's level for Outer and OuterRef
    int Slot = 0;
};

template <TAccess A> inline Variant& SlotOf(TRunContext& ctx, int level, int slot) {
    if constexpr (A == TAccess::Local)
        return ctx.Locals[slot];
    else if constexpr (A == TAccess::Global)
        return ctx.Globals[slot];
    else if constexpr (A == TAccess::Ref)
        return *ctx.Refs[slot];
    else if constexpr (A == TAccess::Outer)
        return ctx.Display[level].Vars[slot];
    else
        return *ctx.Display[level].Refs[slot];
}

Variant& SlotOf(TRunContext& ctx, const TVarPlace& place);

class TVarExprBase : public TExpr {
public:
    TVarExprBase(int line, int column, TVarPlace place, TTypeKind type, const TTypeInfo* info)
        : TExpr(line, column), Place(place), Type(type), Info(info) {}
    bool IsVariable() const override { return true; }
    TTypeKind StaticKind() const override { return Type; }
    const TTypeInfo* Declared() const override { return Info; }
    TVarPlace Place;
    TTypeKind Type;
    const TTypeInfo* Info; // none for a plain scalar
};

template <TAccess A> class TVarExpr : public TVarExprBase {
public:
    TVarExpr(int line, int column, TVarPlace place, TTypeKind type, const TTypeInfo* info)
        : TVarExprBase(line, column, place, type, info) {}
    Variant Eval(TRunContext& ctx) const override { return SlotOf<A>(ctx, Place.Level, Place.Slot); }
    bool EvalBool(TRunContext& ctx) const override {
        const Variant& v = SlotOf<A>(ctx, Place.Level, Place.Slot);
        return v.Type() == TVarType::Boolean ? v.BoolValue() : v.AsBoolean();
    }
    Variant* Address(TRunContext& ctx) const override { return &SlotOf<A>(ctx, Place.Level, Place.Slot); }
};

TExprPtr MakeVarExpr(int line, int column, TVarPlace place, TTypeKind type, const TTypeInfo* info = nullptr);

// Calls Make<TAccess>(args...) with the access as a template argument, for the nodes specialised by access.
template <template <TAccess> class S, class Base, class... Args>
std::unique_ptr<Base> ByAccess(TAccess access, Args&&... args) {
    switch (access) {
    case TAccess::Local:
        return std::make_unique<S<TAccess::Local>>(std::forward<Args>(args)...);
    case TAccess::Global:
        return std::make_unique<S<TAccess::Global>>(std::forward<Args>(args)...);
    case TAccess::Ref:
        return std::make_unique<S<TAccess::Ref>>(std::forward<Args>(args)...);
    case TAccess::Outer:
        return std::make_unique<S<TAccess::Outer>>(std::forward<Args>(args)...);
    case TAccess::OuterRef:
        break;
    }
    return std::make_unique<S<TAccess::OuterRef>>(std::forward<Args>(args)...);
}

class TBinaryExprBase : public TExpr {
public:
    TBinaryExprBase(int line, int column, TBinOp op, TExprPtr left, TExprPtr right);
    bool IsConstant() const override { return Left->IsConstant() && Right->IsConstant(); }
    TTypeKind StaticKind() const override;
    TBinOp Op;
    TExprPtr Left;
    TExprPtr Right;
};

// Any binary operator; the integer case of each is inlined, the rest goes through BinaryOp.
TExprPtr MakeBinaryExpr(int line, int column, TBinOp op, TExprPtr left, TExprPtr right);

class TUnaryExpr : public TExpr {
public:
    TUnaryExpr(int line, int column, bool isNot, TExprPtr operand);
    Variant Eval(TRunContext& ctx) const override;
    bool IsConstant() const override { return Operand->IsConstant(); }
    TTypeKind StaticKind() const override;
    bool IsNot;
    TExprPtr Operand;
};

// Set and array constructor: [a, b, c..d]. Ranges expand when the value is taken, and are tested without
// expanding by 'in'.
class TSetExpr : public TExpr {
public:
    struct TItem {
        TExprPtr Low;
        TExprPtr High; // none for a single value
    };
    TSetExpr(int line, int column, std::vector<TItem> items);
    Variant Eval(TRunContext& ctx) const override;
    bool IsConstant() const override;
    bool Contains(TRunContext& ctx, const Variant& value) const;
    std::vector<TItem> Items;
};

class TInExpr : public TExpr {
public:
    TInExpr(int line, int column, TExprPtr value, TExprPtr set);
    Variant Eval(TRunContext& ctx) const override { return Variant(EvalBool(ctx)); }
    bool EvalBool(TRunContext& ctx) const override;
    TTypeKind StaticKind() const override { return TTypeKind::Boolean; }
    TExprPtr Value;
    TExprPtr Set;
};

// Where an element lives: the array or text variable it belongs to and its position there (from 0), checked
// against the bounds. Owner is the array that holds Base when Base is itself an element.
struct TElementPlace {
    Variant* Base;
    std::size_t Pos;
    TArrayBox* Owner;
};

// s[i] on a text (from 1, one character) or a[i] on an array (from its low bound). An index outside the
// bounds raises ERangeError.
class TIndexExpr : public TExpr {
public:
    TIndexExpr(int line, int column, TExprPtr base, TExprPtr index);
    Variant Eval(TRunContext& ctx) const override;
    // An array element (not a character) as a variable.
    Variant* Address(TRunContext& ctx) const override;
    bool IsVariable() const override { return Base->IsVariable(); }
    TTypeKind StaticKind() const override;
    const TTypeInfo* Declared() const override { return Element; }
    // The element of a variable base; evaluates the index once, before anything else is looked at.
    TElementPlace Place(TRunContext& ctx) const;
    // Stores value (converted to the element's declared type) into the element.
    void Store(TRunContext& ctx, Variant value) const;
    TExprPtr Base;
    TExprPtr Index;
    const TTypeInfo* Element = nullptr; // the base's declared element type, when it is a declared array
    bool TextBase = false;              // the base is declared as a text

private:
    int IndexValue(TRunContext& ctx) const;
    std::size_t Position(const Variant& base, int index) const;
    const TLiteralExpr* FLiteral = nullptr; // the base, when it is a constant
};

// Assigns to a fixed array as Pascal does: the elements are copied into the array that is there, so that an
// element passed by reference meanwhile sees the new values. Other values replace the target.
void AssignFixedArray(Variant& target, Variant value);

// A var argument that is an element: an array element, whose array is held while the call runs, or a
// character of a text, whose value travels in a slot of its own and is written back when the call returns.
class TElementRef {
public:
    TElementRef() = default;
    TElementRef(const TElementRef&) = delete;
    TElementRef& operator=(const TElementRef&) = delete;
    ~TElementRef() { Release(); }
    // Evaluates the element's index once and returns the variable the callee reads and writes.
    Variant* Bind(TRunContext& ctx, const TIndexExpr& element);
    // A character: stores the slot's value (one character) back into its text.
    void WriteBack(const TNode& at);
    void Release() noexcept;

private:
    TArrayBox* FHeld = nullptr;
    Variant* FText = nullptr;
    std::size_t FPos = 0;
    Variant FChar;
};

class TScriptCallExpr : public TExpr {
public:
    TScriptCallExpr(int line, int column, const TRoutine* routine, std::vector<TExprPtr> args);
    Variant Eval(TRunContext& ctx) const override;
    TTypeKind StaticKind() const override { return Routine->ResultType; }
    const TTypeInfo* Declared() const override { return Routine->ResultInfo; }
    const TRoutine* Routine;
    std::vector<TExprPtr> Args;

private:
    // One argument as the call passes it: into a value slot of the callee's frame, or as a var parameter.
    struct TBinding {
        const TExpr* Expr;
        const TIndexExpr* Element; // a var argument that is an element or a character
        int Slot;
        TTypeKind Type;
        bool ByRef;
    };
    Variant EvalWithElements(TRunContext& ctx) const;
    // elements: one per argument, for var arguments that are elements; none when there are no such.
    Variant Call(TRunContext& ctx, TElementRef* elements) const;
    std::vector<TBinding> FBindings;
    bool FElementArgs = false;
};

// Argument passing shared by host functions, members and OnGetValue: fills the reused argument record and
// copies by-reference arguments back.
class THostCallBase : public TExpr {
public:
    THostCallBase(int line, int column, std::string name, std::vector<TExprPtr> args);
    std::string Name;
    std::vector<TExprPtr> Args;

protected:
    Variant Invoke(TRunContext& ctx, const TAdapterEntry& entry, TScriptObject* obj) const;

private:
    mutable TJvInterpreterArgs FArgs; // reused while no call through this node is active
    mutable bool FBusy = false;
    bool FHasElements = false; // some argument is an element of a variable
};

class THostCallExpr : public THostCallBase {
public:
    THostCallExpr(int line, int column, std::string name, const TAdapterEntry* entry,
                  std::vector<TExprPtr> args)
        : THostCallBase(line, column, std::move(name), std::move(args)), Entry(entry) {}
    Variant Eval(TRunContext& ctx) const override { return Invoke(ctx, *Entry, nullptr); }
    const TAdapterEntry* Entry;
};

// obj.Name or obj.Name(args): the member is picked by the object's class at run time, among the registered
// members of that name (the program's registry before the global one).
class TMemberExpr : public THostCallBase {
public:
    TMemberExpr(int line, int column, std::string name, TExprPtr object,
                std::vector<const TAdapterEntry*> own, std::vector<const TAdapterEntry*> global,
                std::vector<TExprPtr> args);
    Variant Eval(TRunContext& ctx) const override;
    TExprPtr Object;
    std::vector<const TAdapterEntry*> Own;
    std::vector<const TAdapterEntry*> Global;

private:
    const TAdapterEntry* Pick(const TScriptObject* obj) const;
    mutable const std::type_info* FCachedType = nullptr;
    mutable const TAdapterEntry* FCachedEntry = nullptr;
};

// Inc(v[, n]) and Dec(v[, n]) on a variable, an array element or a character: the System procedures a
// registry does not provide, since they change their argument in place. A registry's own takes precedence.
class TIncExpr : public TExpr {
public:
    TIncExpr(int line, int column, bool down, TExprPtr target, TExprPtr delta);
    Variant Eval(TRunContext& ctx) const override;
    bool Down;
    TExprPtr Target;
    TExprPtr Delta; // none: 1
};

// The System functions that take one value: Ord, Succ, Pred, Low, High, Length, Assigned, and the casts to
// an ordinal type (Integer(x), Byte(x), Boolean(x), Char(x), ...).
enum class TIntrinsic : std::uint8_t {
    Ord,
    Succ,
    Pred,
    Low,
    High,
    Length,
    Assigned,
    CastInteger,
    CastByte,
    CastShortInt,
    CastWord,
    CastSmallInt,
    CastBoolean,
    CastChar,
};

class TIntrinsicExpr : public TExpr {
public:
    TIntrinsicExpr(int line, int column, TIntrinsic function, TExprPtr arg);
    Variant Eval(TRunContext& ctx) const override;
    bool IsConstant() const override;
    TTypeKind StaticKind() const override;
    TIntrinsic Function;
    TExprPtr Arg;
};

// The intrinsic a name (in lower case) stands for when written as a call with one argument.
bool FindIntrinsic(const std::string& lower, TIntrinsic& function);

// A name neither the script nor a registry declares: asked of OnGetValue when it is evaluated.
class TDynamicExpr : public TExpr {
public:
    TDynamicExpr(int line, int column, std::string name, std::vector<TExprPtr> args)
        : TExpr(line, column), Name(std::move(name)), Args(std::move(args)) {}
    Variant Eval(TRunContext& ctx) const override;
    std::string Name;
    std::vector<TExprPtr> Args;
};

// The object a script sees for an exception in an "on E: Exception do" handler, with Message and ClassName;
// raise E raises the very exception again.
class TScriptExceptionObject : public TScriptObject {
public:
    TScriptExceptionObject(std::string className, std::string message, std::exception_ptr error)
        : ClassName(std::move(className)), Message(std::move(message)), Error(std::move(error)) {}
    void ScriptAddRef() noexcept override { ++FRefs; }
    void ScriptRelease() noexcept override {
        if (--FRefs == 0)
            delete this;
    }
    std::string ClassName;
    std::string Message;
    std::exception_ptr Error;

private:
    int FRefs = 0;
};

} // namespace kalmora::script
