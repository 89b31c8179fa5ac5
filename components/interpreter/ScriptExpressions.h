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
    Variant Value;
};

enum class TAccess : std::uint8_t { Local, Global, Ref };

template <TAccess A> inline Variant& SlotOf(TRunContext& ctx, int slot) {
    if constexpr (A == TAccess::Local)
        return ctx.Locals[slot];
    else if constexpr (A == TAccess::Global)
        return ctx.Globals[slot];
    else
        return *ctx.Refs[slot];
}

class TVarExprBase : public TExpr {
public:
    TVarExprBase(int line, int column, TAccess access, int slot, TTypeKind type)
        : TExpr(line, column), Access(access), Slot(slot), Type(type) {}
    bool IsVariable() const override { return true; }
    TTypeKind VarType() const override { return Type; }
    TAccess Access;
    int Slot;
    TTypeKind Type;
};

template <TAccess A> class TVarExpr : public TVarExprBase {
public:
    TVarExpr(int line, int column, int slot, TTypeKind type) : TVarExprBase(line, column, A, slot, type) {}
    Variant Eval(TRunContext& ctx) const override { return SlotOf<A>(ctx, Slot); }
    bool EvalBool(TRunContext& ctx) const override {
        const Variant& v = SlotOf<A>(ctx, Slot);
        return v.Type() == TVarType::Boolean ? v.BoolValue() : v.AsBoolean();
    }
    Variant* Address(TRunContext& ctx) const override { return &SlotOf<A>(ctx, Slot); }
};

TExprPtr MakeVarExpr(int line, int column, TAccess access, int slot, TTypeKind type);

class TBinaryExprBase : public TExpr {
public:
    TBinaryExprBase(int line, int column, TBinOp op, TExprPtr left, TExprPtr right);
    bool IsConstant() const override { return Left->IsConstant() && Right->IsConstant(); }
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
    TExprPtr Value;
    TExprPtr Set;
};

// s[i] on a text (1-based, one character) or a[i] on an array (0-based).
class TIndexExpr : public TExpr {
public:
    TIndexExpr(int line, int column, TExprPtr base, TExprPtr index);
    Variant Eval(TRunContext& ctx) const override;
    Variant* Address(TRunContext& ctx) const override;
    bool IsVariable() const override { return Base->IsVariable(); }
    TExprPtr Base;
    TExprPtr Index;
};

class TScriptCallExpr : public TExpr {
public:
    TScriptCallExpr(int line, int column, const TRoutine* routine, std::vector<TExprPtr> args);
    Variant Eval(TRunContext& ctx) const override;
    const TRoutine* Routine;
    std::vector<TExprPtr> Args;
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

// Inc(v[, n]) and Dec(v[, n]): the two System procedures a registry does not provide, since they change
// their argument in place. A registry's own Inc or Dec takes precedence.
class TIncExpr : public TExpr {
public:
    TIncExpr(int line, int column, bool down, TExprPtr target, TExprPtr delta);
    Variant Eval(TRunContext& ctx) const override;
    bool Down;
    TExprPtr Target;
    TExprPtr Delta; // none: 1
};

// A name neither the script nor a registry declares: asked of OnGetValue when it is evaluated.
class TDynamicExpr : public TExpr {
public:
    TDynamicExpr(int line, int column, std::string name, std::vector<TExprPtr> args)
        : TExpr(line, column), Name(std::move(name)), Args(std::move(args)) {}
    Variant Eval(TRunContext& ctx) const override;
    std::string Name;
    std::vector<TExprPtr> Args;
};

// The object a script sees for an exception in an "on E: Exception do" handler, with Message and ClassName.
class TScriptExceptionObject : public TScriptObject {
public:
    TScriptExceptionObject(std::string className, std::string message)
        : ClassName(std::move(className)), Message(std::move(message)) {}
    void ScriptAddRef() noexcept override { ++FRefs; }
    void ScriptRelease() noexcept override {
        if (--FRefs == 0)
            delete this;
    }
    std::string ClassName;
    std::string Message;

private:
    int FRefs = 0;
};

} // namespace kalmora::script
