#pragma once

// The operators of the script language on variants: integer arithmetic wraps at 32 bits as compiled Pascal
// does without overflow checks, a text on either side of '+' concatenates, and comparisons convert the way
// variant comparisons do.

#include "Variant.h"

#include <cstdint>

namespace kalmora::script {

enum class TBinOp : std::uint8_t {
    Add,
    Sub,
    Mul,
    Divide,
    IntDiv,
    Mod,
    And,
    Or,
    Xor,
    Shl,
    Shr,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
};

// Any operator but the comparisons on any two values; raises the platform's errors (EZeroDivide,
// EConvertError, EInvalidCast) for values the operator does not take.
Variant BinaryOp(TBinOp op, const Variant& left, const Variant& right);
bool CompareOp(TBinOp op, const Variant& left, const Variant& right);
// Equality as '=' decides it, for 'in' and case labels.
bool ValuesEqual(const Variant& left, const Variant& right);
Variant NegateOp(const Variant& value);
Variant NotOp(const Variant& value);
std::string_view OperatorName(TBinOp op);

inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// div and mod of two integers; raises EDivByZero for a zero divisor. The most negative integer divided by
// -1 wraps instead of trapping.
std::int32_t IntDivide(std::int32_t a, std::int32_t b);
std::int32_t IntModulo(std::int32_t a, std::int32_t b);

} // namespace kalmora::script
