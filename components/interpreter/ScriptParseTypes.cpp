// Types: scalar names, fixed arrays with their bounds (array[1..12], array['a'..'z'], array[1..3, 1..4]),
// open arrays, and the initial values written for them.

#include "ScriptParser.h"
#include "runtime/Exceptions.h"

namespace kalmora::script {
namespace {

TTypeKind TypeKindOf(const std::string& lower) {
    static const std::unordered_map<std::string, TTypeKind> names = {
        {"integer", TTypeKind::Integer},   {"longint", TTypeKind::Integer},
        {"smallint", TTypeKind::Integer},  {"shortint", TTypeKind::Integer},
        {"byte", TTypeKind::Integer},      {"word", TTypeKind::Integer},
        {"cardinal", TTypeKind::Integer},  {"longword", TTypeKind::Integer},
        {"string", TTypeKind::String},     {"char", TTypeKind::String},
        {"ansistring", TTypeKind::String}, {"widestring", TTypeKind::String},
        {"ansichar", TTypeKind::String},   {"shortstring", TTypeKind::String},
        {"boolean", TTypeKind::Boolean},   {"double", TTypeKind::Double},
        {"extended", TTypeKind::Double},   {"real", TTypeKind::Double},
        {"single", TTypeKind::Double},     {"currency", TTypeKind::Currency},
        {"tdatetime", TTypeKind::Date},    {"tdate", TTypeKind::Date},
        {"ttime", TTypeKind::Date},
    };
    auto it = names.find(lower);
    return it == names.end() ? TTypeKind::Variant : it->second;
}

// The bounds of the ordinal type names an array may be indexed by, and Low and High answer for.
bool OrdinalBounds(const std::string& lower, int& low, int& high, bool& isChar, bool& isBoolean) {
    struct TBounds {
        int Low;
        int High;
        bool Char;
        bool Boolean;
    };
    static const std::unordered_map<std::string, TBounds> names = {
        {"integer", {-2147483647 - 1, 2147483647, false, false}},
        {"longint", {-2147483647 - 1, 2147483647, false, false}},
        {"byte", {0, 255, false, false}},
        {"shortint", {-128, 127, false, false}},
        {"word", {0, 65535, false, false}},
        {"smallint", {-32768, 32767, false, false}},
        {"char", {0, 255, true, false}},
        {"ansichar", {0, 255, true, false}},
        {"boolean", {0, 1, false, true}},
    };
    auto it = names.find(lower);
    if (it == names.end())
        return false;
    low = it->second.Low;
    high = it->second.High;
    isChar = it->second.Char;
    isBoolean = it->second.Boolean;
    return true;
}

// An array bound written as a constant: an integer, a character or a Boolean.
int BoundValue(const Variant& value, bool& isChar) {
    if (value.IsString() && value.StringValue().size() == 1) {
        isChar = true;
        return static_cast<unsigned char>(value.StringValue()[0]);
    }
    if (value.Type() == TVarType::Boolean)
        return value.BoolValue() ? 1 : 0;
    return value.AsInteger();
}

} // namespace

const TTypeInfo* TScriptParser::NewType(TTypeInfo info) {
    return &FScript->Types.emplace_back(std::move(info));
}

const TTypeInfo* TScriptParser::ParseType() {
    TNestGuard guard(*this);
    if (Tok().Kind == TTok::KwArray)
        return ParseArrayType();
    const TToken& name = ExpectIdent();
    TTypeInfo info;
    if (name.Lower == "set" && Accept(TTok::KwOf)) {
        ParseType();
        return NewType(std::move(info));
    }
    info.Kind = TypeKindOf(name.Lower);
    info.Init = DefaultOf(info.Kind);
    return NewType(std::move(info));
}

const TTypeInfo* TScriptParser::ParseArrayType() {
    Next();
    if (!Accept(TTok::LBracket)) {
        Expect(TTok::KwOf);
        TTypeInfo info;
        info.Kind = TTypeKind::OpenArray;
        info.Element = ParseType();
        return NewType(std::move(info));
    }
    // array[A, B] of T is array[A] of array[B] of T: the dimensions, outermost first.
    struct TDimension {
        int Low;
        int High;
        bool Char;
        const TToken* At;
    };
    std::vector<TDimension> dimensions;
    do {
        const TToken& at = Tok();
        TDimension dim{0, 0, false, &at};
        bool isBoolean = false;
        if (Tok().Kind == TTok::Identifier && Peek(1).Kind != TTok::DotDot && !Lookup(Tok().Lower) &&
            OrdinalBounds(Tok().Lower, dim.Low, dim.High, dim.Char, isBoolean)) {
            Next();
        } else {
            bool lowChar = false, highChar = false;
            dim.Low = BoundValue(ParseConstValue(), lowChar);
            Expect(TTok::DotDot);
            dim.High = BoundValue(ParseConstValue(), highChar);
            if (lowChar != highChar)
                Error("Array bounds must both be characters or both be numbers", at);
            dim.Char = lowChar;
        }
        if (dim.High < dim.Low || std::int64_t{dim.High} - dim.Low >= FMaxArrayElements)
            Error("Array bounds out of range", at);
        dimensions.push_back(dim);
    } while (Accept(TTok::Comma));
    Expect(TTok::RBracket);
    Expect(TTok::KwOf);
    const TTypeInfo* element = ParseType();
    std::int64_t total = 1;
    for (auto dim = dimensions.rbegin(); dim != dimensions.rend(); ++dim) {
        std::int64_t count = std::int64_t{dim->High} - dim->Low + 1;
        total *= count;
        if (total > FMaxArrayElements)
            Error("Array bounds out of range", *dim->At);
        TTypeInfo info;
        info.IsStatic = true;
        info.CharIndex = dim->Char;
        info.Low = dim->Low;
        info.High = dim->High;
        info.Element = element;
        info.Init = Variant(std::vector<Variant>(static_cast<std::size_t>(count), element->Init), dim->Low);
        element = NewType(std::move(info));
    }
    return element;
}

Variant TScriptParser::ParseInitialValue(const TTypeInfo& type) {
    if (!type.IsStatic || Tok().Kind != TTok::LParen) {
        Variant value = ParseConstValue();
        if (!type.IsStatic)
            ConvertTo(type.Kind, value);
        return value;
    }
    TNestGuard guard(*this);
    const TToken& open = Next();
    std::vector<Variant> items;
    do
        items.push_back(ParseInitialValue(*type.Element));
    while (Accept(TTok::Comma));
    Expect(TTok::RParen);
    if (static_cast<std::int64_t>(items.size()) != std::int64_t{type.High} - type.Low + 1)
        Error("Expected " + std::to_string(std::int64_t{type.High} - type.Low + 1) + " values, got " +
                  std::to_string(items.size()),
              open);
    return Variant(std::move(items), type.Low);
}

TExprPtr TScriptParser::TryTypeBound(const TToken& name, bool high) {
    if (Tok().Kind != TTok::LParen || Peek(1).Kind != TTok::Identifier || Peek(2).Kind != TTok::RParen ||
        Lookup(Peek(1).Lower))
        return nullptr;
    int low = 0, highest = 0;
    bool isChar = false, isBoolean = false;
    if (!OrdinalBounds(Peek(1).Lower, low, highest, isChar, isBoolean))
        return nullptr;
    Next();
    Next();
    Next();
    int bound = high ? highest : low;
    Variant value = isChar      ? Variant(std::string(1, static_cast<char>(bound)))
                    : isBoolean ? Variant(bound == 1)
                                : Variant(bound);
    return std::make_unique<TLiteralExpr>(name.Line, name.Column, std::move(value));
}

} // namespace kalmora::script
