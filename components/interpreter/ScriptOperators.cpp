#include "ScriptOperators.h"

#include "ScriptExceptions.h"

#include <cmath>
#include <string>

namespace kalmora::script {
namespace {

// The arithmetic class two operands meet in.
enum class TNumClass { Integer, Currency, Double };

TNumClass ClassOf(const Variant& v) {
    switch (v.Type()) {
    case TVarType::Empty:
    case TVarType::Boolean:
    case TVarType::Integer:
        return TNumClass::Integer;
    case TVarType::Currency:
        return TNumClass::Currency;
    case TVarType::String: {
        int ignored = 0;
        return TryStrToInt(v.StringValue(), ignored) ? TNumClass::Integer : TNumClass::Double;
    }
    default:
        return TNumClass::Double;
    }
}

TNumClass Common(const Variant& a, const Variant& b) {
    TNumClass x = ClassOf(a), y = ClassOf(b);
    if (x == TNumClass::Double || y == TNumClass::Double)
        return TNumClass::Double;
    if (x == TNumClass::Currency || y == TNumClass::Currency)
        return TNumClass::Currency;
    return TNumClass::Integer;
}

[[noreturn]] void InvalidOperation(TBinOp op, const Variant& a, const Variant& b) {
    throw EInvalidCast("Invalid variant operation: " + std::string(Variant::TypeName(a.Type())) + " " +
                       std::string(OperatorName(op)) + " " + std::string(Variant::TypeName(b.Type())));
}

void RejectStructured(TBinOp op, const Variant& a, const Variant& b) {
    if (a.IsArray() || a.IsObject() || b.IsArray() || b.IsObject())
        InvalidOperation(op, a, b);
}

bool IsLogical(const Variant& v) {
    return v.Type() == TVarType::Boolean;
}

Variant Arithmetic(TBinOp op, const Variant& a, const Variant& b) {
    RejectStructured(op, a, b);
    if (op == TBinOp::Divide) {
        double dividend = a.AsDouble(), divisor = b.AsDouble();
        // 0 / 0 has no value at all, while x / 0 is only too large: the FPU traps them as different faults.
        if (divisor == 0.0) {
            if (dividend == 0.0 || std::isnan(dividend))
                throw EInvalidOp("Invalid floating point operation");
            throw EZeroDivide("Floating point division by zero");
        }
        return Variant(dividend / divisor);
    }
    if (op == TBinOp::IntDiv || op == TBinOp::Mod) {
        int x = a.AsInteger(), y = b.AsInteger();
        return Variant(op == TBinOp::IntDiv ? IntDivide(x, y) : IntModulo(x, y));
    }
    switch (Common(a, b)) {
    case TNumClass::Integer: {
        int x = a.AsInteger(), y = b.AsInteger();
        return Variant(op == TBinOp::Add ? WrapAdd(x, y) : op == TBinOp::Sub ? WrapSub(x, y) : WrapMul(x, y));
    }
    case TNumClass::Currency:
        if (op != TBinOp::Mul) {
            std::int64_t x = a.AsCurrencyUnits(), y = b.AsCurrencyUnits(), r = 0;
            if (op == TBinOp::Add ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r))
                throw EOverflow("Floating point overflow");
            return Variant::FromCurrencyUnits(r);
        }
        return Variant::FromCurrency(a.AsDouble() * b.AsDouble());
    case TNumClass::Double:
        break;
    }
    double x = a.AsDouble(), y = b.AsDouble();
    double r = op == TBinOp::Add ? x + y : op == TBinOp::Sub ? x - y : x * y;
    // A date moved by a number of days stays a date.
    if ((a.Type() == TVarType::Date || b.Type() == TVarType::Date) && op != TBinOp::Mul &&
        !(op == TBinOp::Sub && a.Type() == TVarType::Date && b.Type() == TVarType::Date))
        return Variant::FromDateTime(r);
    return Variant(r);
}

Variant Logical(TBinOp op, const Variant& a, const Variant& b) {
    RejectStructured(op, a, b);
    if (IsLogical(a) || IsLogical(b)) {
        bool x = a.AsBoolean(), y = b.AsBoolean();
        return Variant(op == TBinOp::And ? (x && y) : op == TBinOp::Or ? (x || y) : (x != y));
    }
    int x = a.AsInteger(), y = b.AsInteger();
    return Variant(op == TBinOp::And ? (x & y) : op == TBinOp::Or ? (x | y) : (x ^ y));
}

int Order(const Variant& a, const Variant& b, TBinOp op) {
    if (a.IsArray() || b.IsArray())
        InvalidOperation(op, a, b);
    if (a.IsObject() || b.IsObject()) {
        if (op != TBinOp::Eq && op != TBinOp::Ne)
            InvalidOperation(op, a, b);
        return a.AsObject() == b.AsObject() ? 0 : 1;
    }
    if (a.IsString() && (b.IsString() || b.IsEmpty())) {
        int c = a.StringValue().compare(b.IsEmpty() ? std::string() : b.StringValue());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (b.IsString() && a.IsEmpty())
        return b.StringValue().empty() ? 0 : -1;
    if (a.Type() == TVarType::Integer && b.Type() == TVarType::Integer)
        return a.IntValue() < b.IntValue() ? -1 : a.IntValue() > b.IntValue() ? 1 : 0;
    if (IsLogical(a) && IsLogical(b))
        return static_cast<int>(a.BoolValue()) - static_cast<int>(b.BoolValue());
    if (a.Type() == TVarType::Currency && b.Type() == TVarType::Currency)
        return a.CurrencyUnits() < b.CurrencyUnits() ? -1 : a.CurrencyUnits() > b.CurrencyUnits() ? 1 : 0;
    double x = a.AsDouble(), y = b.AsDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace

std::int32_t IntDivide(std::int32_t a, std::int32_t b) {
    if (b == 0)
        throw EDivByZero("Division by zero");
    if (b == -1)
        return WrapSub(0, a);
    return a / b;
}

std::int32_t IntModulo(std::int32_t a, std::int32_t b) {
    if (b == 0)
        throw EDivByZero("Division by zero");
    if (b == -1)
        return 0;
    return a % b;
}

Variant BinaryOp(TBinOp op, const Variant& a, const Variant& b) {
    switch (op) {
    case TBinOp::Add:
        if (a.IsString() || b.IsString()) {
            if (a.IsArray() || a.IsObject() || b.IsArray() || b.IsObject())
                InvalidOperation(op, a, b);
            return Variant(a.AsString() + b.AsString());
        }
        return Arithmetic(op, a, b);
    case TBinOp::Sub:
    case TBinOp::Mul:
    case TBinOp::Divide:
    case TBinOp::IntDiv:
    case TBinOp::Mod:
        return Arithmetic(op, a, b);
    case TBinOp::And:
    case TBinOp::Or:
    case TBinOp::Xor:
        return Logical(op, a, b);
    case TBinOp::Shl:
    case TBinOp::Shr: {
        RejectStructured(op, a, b);
        auto x = static_cast<std::uint32_t>(a.AsInteger());
        unsigned n = static_cast<unsigned>(b.AsInteger()) & 31u;
        return Variant(static_cast<std::int32_t>(op == TBinOp::Shl ? x << n : x >> n));
    }
    default:
        return Variant(CompareOp(op, a, b));
    }
}

bool CompareOp(TBinOp op, const Variant& a, const Variant& b) {
    int c = Order(a, b, op);
    switch (op) {
    case TBinOp::Eq:
        return c == 0;
    case TBinOp::Ne:
        return c != 0;
    case TBinOp::Lt:
        return c < 0;
    case TBinOp::Le:
        return c <= 0;
    case TBinOp::Gt:
        return c > 0;
    case TBinOp::Ge:
        return c >= 0;
    default:
        return false;
    }
}

bool ValuesEqual(const Variant& a, const Variant& b) {
    if (a.IsArray() || b.IsArray())
        return false;
    if (a.IsString() != b.IsString() && !a.IsEmpty() && !b.IsEmpty()) {
        // 'x' in [1, 2] is simply false rather than a conversion error.
        double ignored = 0;
        const Variant& text = a.IsString() ? a : b;
        if (!TryStrToFloat(text.StringValue(), ignored))
            return false;
    }
    return Order(a, b, TBinOp::Eq) == 0;
}

Variant NegateOp(const Variant& v) {
    switch (v.Type()) {
    case TVarType::Integer:
    case TVarType::Empty:
    case TVarType::Boolean:
        return Variant(WrapSub(0, v.AsInteger()));
    case TVarType::Currency:
        return Variant::FromCurrencyUnits(-v.CurrencyUnits());
    case TVarType::Array:
    case TVarType::Object:
        throw EInvalidCast("Invalid variant operation: - " + std::string(Variant::TypeName(v.Type())));
    default:
        return Variant(-v.AsDouble());
    }
}

Variant NotOp(const Variant& v) {
    if (v.Type() == TVarType::Boolean)
        return Variant(!v.BoolValue());
    if (v.IsArray() || v.IsObject())
        throw EInvalidCast("Invalid variant operation: not " + std::string(Variant::TypeName(v.Type())));
    return Variant(~v.AsInteger());
}

std::string_view OperatorName(TBinOp op) {
    switch (op) {
    case TBinOp::Add:
        return "+";
    case TBinOp::Sub:
        return "-";
    case TBinOp::Mul:
        return "*";
    case TBinOp::Divide:
        return "/";
    case TBinOp::IntDiv:
        return "div";
    case TBinOp::Mod:
        return "mod";
    case TBinOp::And:
        return "and";
    case TBinOp::Or:
        return "or";
    case TBinOp::Xor:
        return "xor";
    case TBinOp::Shl:
        return "shl";
    case TBinOp::Shr:
        return "shr";
    case TBinOp::Eq:
        return "=";
    case TBinOp::Ne:
        return "<>";
    case TBinOp::Lt:
        return "<";
    case TBinOp::Le:
        return "<=";
    case TBinOp::Gt:
        return ">";
    case TBinOp::Ge:
        return ">=";
    }
    return "?";
}

} // namespace kalmora::script
