// The System routines the compiler knows itself: Inc and Dec, Ord, Succ, Pred, Low, High, Length, Assigned,
// and the casts to ordinal types. A Boolean's ordinal is 0 or 1; only conversions as variants do them
// (assigning to a typed variable, arithmetic, host functions, a cast of a value declared Variant) read True
// as -1, as Delphi does.

#include "ScriptExceptions.h"
#include "ScriptExpressions.h"

#include <unordered_map>

namespace kalmora::script {
namespace {

[[noreturn]] void OrdinalRange(const TNode& at, std::string_view function) {
    throw ERangeError("Range check error: " + std::string(function) + " beyond the type's bounds (line " +
                      std::to_string(at.Line) + ", column " + std::to_string(at.Column) + ")");
}

bool IsChar(const Variant& v) {
    return v.IsString() && v.StringValue().size() == 1;
}

Variant CharOf(int code) {
    return Variant(std::string(1, static_cast<char>(code)));
}

int Ordinal(const Variant& v) {
    switch (v.Type()) {
    case TVarType::Boolean:
        return v.BoolValue() ? 1 : 0;
    case TVarType::Integer:
        return v.IntValue();
    case TVarType::String:
        if (v.StringValue().empty())
            throw EConvertError("Ord of an empty text");
        return static_cast<unsigned char>(v.StringValue()[0]);
    default:
        return v.AsInteger();
    }
}

// Succ and Pred: the neighbour of an ordinal value in its own type.
Variant Neighbour(const Variant& v, int step, const TNode& at, std::string_view function) {
    switch (v.Type()) {
    case TVarType::Empty:
    case TVarType::Integer:
        return Variant(WrapAdd(v.AsInteger(), step));
    case TVarType::Boolean: {
        int next = (v.BoolValue() ? 1 : 0) + step;
        if (next < 0 || next > 1)
            OrdinalRange(at, function);
        return Variant(next == 1);
    }
    default:
        if (!IsChar(v))
            throw EConvertError(std::string(function) + " needs an ordinal value, not " +
                                std::string(Variant::TypeName(v.Type())));
        int next = static_cast<unsigned char>(v.StringValue()[0]) + step;
        if (next < 0 || next > 255)
            OrdinalRange(at, function);
        return CharOf(next);
    }
}

// Low or High of an array or a text.
Variant Bound(const TTypeInfo* declared, const Variant& v, bool high) {
    if (declared && declared->IsStatic) {
        int bound = high ? declared->High : declared->Low;
        return declared->CharIndex ? CharOf(bound) : Variant(bound);
    }
    if (v.IsEmpty()) // an open array never assigned is an empty one
        return Variant(high ? -1 : 0);
    if (v.IsArray())
        return Variant(high ? WrapAdd(v.ArrayLow(), v.ArrayLength() - 1) : v.ArrayLow());
    if (v.IsString())
        return Variant(high ? static_cast<int>(v.StringValue().size()) : 1);
    throw EConvertError(std::string(high ? "High" : "Low") + " needs an array or a text, not " +
                        std::string(Variant::TypeName(v.Type())));
}

} // namespace

bool FindIntrinsic(const std::string& lower, TIntrinsic& function) {
    static const std::unordered_map<std::string, TIntrinsic> names = {
        {"ord", TIntrinsic::Ord},
        {"succ", TIntrinsic::Succ},
        {"pred", TIntrinsic::Pred},
        {"low", TIntrinsic::Low},
        {"high", TIntrinsic::High},
        {"length", TIntrinsic::Length},
        {"assigned", TIntrinsic::Assigned},
        {"integer", TIntrinsic::CastInteger},
        {"longint", TIntrinsic::CastInteger},
        {"cardinal", TIntrinsic::CastInteger},
        {"longword", TIntrinsic::CastInteger},
        {"byte", TIntrinsic::CastByte},
        {"shortint", TIntrinsic::CastShortInt},
        {"word", TIntrinsic::CastWord},
        {"smallint", TIntrinsic::CastSmallInt},
        {"boolean", TIntrinsic::CastBoolean},
        {"char", TIntrinsic::CastChar},
        {"ansichar", TIntrinsic::CastChar},
    };
    auto it = names.find(lower);
    if (it == names.end())
        return false;
    function = it->second;
    return true;
}

TIncExpr::TIncExpr(int line, int column, bool down, TExprPtr target, TExprPtr delta)
    : TExpr(line, column), Down(down), Target(std::move(target)), Delta(std::move(delta)) {
    Depth = std::max(Target->Depth, Delta ? Delta->Depth : 0) + 1;
}

Variant TIncExpr::Eval(TRunContext& ctx) const {
    Variant delta = Delta ? Delta->Eval(ctx) : Variant(1);
    Variant* target = nullptr;
    if (auto* element = dynamic_cast<const TIndexExpr*>(Target.get())) {
        TElementPlace place = element->Place(ctx);
        if (place.Base->IsString()) {
            char& c = place.Base->StringValue()[place.Pos];
            Variant moved =
                Neighbour(CharOf(static_cast<unsigned char>(c)),
                          Down ? -delta.AsInteger() : delta.AsInteger(), *this, Down ? "Dec" : "Inc");
            c = moved.StringValue()[0];
            return Variant();
        }
        target = &place.Base->Items()[place.Pos];
    } else {
        target = Target->Address(ctx);
    }
    if (target->Type() == TVarType::Integer && delta.Type() == TVarType::Integer) {
        target->AssignInteger(Down ? WrapSub(target->IntValue(), delta.IntValue())
                                   : WrapAdd(target->IntValue(), delta.IntValue()));
        return Variant();
    }
    if (IsChar(*target)) {
        // Inc on a character moves it, as on a Char; a text of another length has no neighbour.
        *target =
            Neighbour(*target, Down ? -delta.AsInteger() : delta.AsInteger(), *this, Down ? "Dec" : "Inc");
        return Variant();
    }
    *target = BinaryOp(Down ? TBinOp::Sub : TBinOp::Add, *target, delta);
    ConvertTo(Target->StaticKind(), *target);
    return Variant();
}

TIntrinsicExpr::TIntrinsicExpr(int line, int column, TIntrinsic function, TExprPtr arg)
    : TExpr(line, column), Function(function), Arg(std::move(arg)) {
    Depth = Arg->Depth + 1;
}

bool TIntrinsicExpr::IsConstant() const {
    // Low and High of a fixed array come from its type, whatever the variable holds.
    const TTypeInfo* declared = Arg->Declared();
    if ((Function == TIntrinsic::Low || Function == TIntrinsic::High) && declared && declared->IsStatic)
        return true;
    return Arg->IsConstant();
}

TTypeKind TIntrinsicExpr::StaticKind() const {
    switch (Function) {
    case TIntrinsic::Ord:
    case TIntrinsic::Length:
    case TIntrinsic::CastInteger:
    case TIntrinsic::CastByte:
    case TIntrinsic::CastShortInt:
    case TIntrinsic::CastWord:
    case TIntrinsic::CastSmallInt:
        return TTypeKind::Integer;
    case TIntrinsic::Assigned:
    case TIntrinsic::CastBoolean:
        return TTypeKind::Boolean;
    case TIntrinsic::CastChar:
        return TTypeKind::String;
    case TIntrinsic::Succ:
    case TIntrinsic::Pred:
        return Arg->StaticKind();
    case TIntrinsic::Low:
    case TIntrinsic::High:
        break;
    }
    return TTypeKind::Variant;
}

Variant TIntrinsicExpr::Eval(TRunContext& ctx) const {
    if (Function == TIntrinsic::Low || Function == TIntrinsic::High) {
        const TTypeInfo* declared = Arg->Declared();
        return Bound(declared, declared && declared->IsStatic ? Variant() : Arg->Eval(ctx),
                     Function == TIntrinsic::High);
    }
    Variant v = Arg->Eval(ctx);
    // A cast reads a value declared as Variant the way a variant converts (True is -1); every other value
    // by its ordinal.
    auto castOrdinal = [&] { return Arg->StaticKind() == TTypeKind::Variant ? v.AsInteger() : Ordinal(v); };
    switch (Function) {
    case TIntrinsic::Ord:
        return Variant(Ordinal(v));
    case TIntrinsic::Succ:
        return Neighbour(v, 1, *this, "Succ");
    case TIntrinsic::Pred:
        return Neighbour(v, -1, *this, "Pred");
    case TIntrinsic::Length:
        return Variant(v.IsArray() ? v.ArrayLength() : static_cast<int>(v.AsString().size()));
    case TIntrinsic::Assigned:
        return Variant(!v.IsEmpty());
    case TIntrinsic::CastInteger:
        return Variant(castOrdinal());
    case TIntrinsic::CastByte:
        return Variant(castOrdinal() & 0xFF);
    case TIntrinsic::CastShortInt:
        return Variant(static_cast<int>(static_cast<std::int8_t>(castOrdinal() & 0xFF)));
    case TIntrinsic::CastWord:
        return Variant(castOrdinal() & 0xFFFF);
    case TIntrinsic::CastSmallInt:
        return Variant(static_cast<int>(static_cast<std::int16_t>(castOrdinal() & 0xFFFF)));
    case TIntrinsic::CastBoolean:
        return Variant(v.Type() == TVarType::Integer ? v.IntValue() != 0 : v.AsBoolean());
    case TIntrinsic::CastChar:
        return IsChar(v) ? v : CharOf(castOrdinal() & 0xFF);
    case TIntrinsic::Low:
    case TIntrinsic::High:
        break;
    }
    return Variant();
}

} // namespace kalmora::script
