// Elements of arrays and characters of texts: reading, storing, and passing them as variables.

#include "ScriptExceptions.h"
#include "ScriptExpressions.h"

namespace kalmora::script {
namespace {

[[noreturn]] void OutOfRange(const TNode& at, std::int64_t index, std::int64_t low, std::int64_t high) {
    throw ERangeError("Range check error: index " + std::to_string(index) + " outside " +
                      std::to_string(low) + ".." + std::to_string(high) + " (line " +
                      std::to_string(at.Line) + ", column " + std::to_string(at.Column) + ")");
}

Variant CharAt(const Variant& text, std::size_t pos) {
    return Variant(std::string(1, text.StringValue()[pos]));
}

char SingleChar(const Variant& value, const TNode& at) {
    std::string text = value.AsString();
    if (text.size() != 1)
        at.Fail("A single character is needed");
    return text[0];
}

} // namespace

Variant& SlotOf(TRunContext& ctx, const TVarPlace& place) {
    switch (place.Access) {
    case TAccess::Local:
        return SlotOf<TAccess::Local>(ctx, place.Level, place.Slot);
    case TAccess::Global:
        return SlotOf<TAccess::Global>(ctx, place.Level, place.Slot);
    case TAccess::Ref:
        return SlotOf<TAccess::Ref>(ctx, place.Level, place.Slot);
    case TAccess::Outer:
        return SlotOf<TAccess::Outer>(ctx, place.Level, place.Slot);
    case TAccess::OuterRef:
        break;
    }
    return SlotOf<TAccess::OuterRef>(ctx, place.Level, place.Slot);
}

void AssignFixedArray(Variant& target, Variant value) {
    if (!target.IsArray() || !value.IsArray() || target.ArrayLength() != value.ArrayLength()) {
        target = std::move(value);
        return;
    }
    std::vector<Variant>& to = target.Items();
    std::vector<Variant>& from = value.Items();
    for (std::size_t i = 0; i < to.size(); ++i)
        AssignFixedArray(to[i], std::move(from[i]));
}

TIndexExpr::TIndexExpr(int line, int column, TExprPtr base, TExprPtr index)
    : TExpr(line, column), Base(std::move(base)), Index(std::move(index)) {
    Depth = std::max(Base->Depth, Index->Depth) + 1;
    if (const TTypeInfo* info = Base->Declared();
        info && (info->IsStatic || info->Kind == TTypeKind::OpenArray))
        Element = info->Element;
    TextBase = Base->StaticKind() == TTypeKind::String;
    FLiteral = dynamic_cast<const TLiteralExpr*>(Base.get());
}

TTypeKind TIndexExpr::StaticKind() const {
    if (TextBase)
        return TTypeKind::String;
    return Element && !Element->IsStatic ? Element->Kind : TTypeKind::Variant;
}

int TIndexExpr::IndexValue(TRunContext& ctx) const {
    Variant index = Index->Eval(ctx);
    if (index.Type() == TVarType::Integer)
        return index.IntValue();
    if (index.Type() == TVarType::Boolean)
        return index.BoolValue() ? 1 : 0;
    const TTypeInfo* info = Base->Declared();
    if (info && info->CharIndex && index.IsString() && index.StringValue().size() == 1)
        return static_cast<unsigned char>(index.StringValue()[0]);
    return index.AsInteger();
}

std::size_t TIndexExpr::Position(const Variant& base, int index) const {
    if (base.IsString()) {
        std::size_t size = base.StringValue().size();
        if (index < 1 || static_cast<std::size_t>(index) > size)
            OutOfRange(*this, index, 1, static_cast<std::int64_t>(size));
        return static_cast<std::size_t>(index - 1);
    }
    if (base.IsArray()) {
        std::int64_t low = base.ArrayLow();
        std::int64_t size = base.ArrayLength();
        std::int64_t pos = std::int64_t{index} - low;
        if (pos < 0 || pos >= size)
            OutOfRange(*this, index, low, low + size - 1);
        return static_cast<std::size_t>(pos);
    }
    Fail("A value of type " + std::string(Variant::TypeName(base.Type())) + " cannot be indexed");
}

TElementPlace TIndexExpr::Place(TRunContext& ctx) const {
    // The index first: evaluating it may run script code, and no address may be held meanwhile.
    int index = IndexValue(ctx);
    Variant* base = nullptr;
    TArrayBox* owner = nullptr;
    if (auto* inner = dynamic_cast<const TIndexExpr*>(Base.get())) {
        TElementPlace outer = inner->Place(ctx);
        if (!outer.Base->IsArray())
            Fail("A character cannot be indexed");
        owner = outer.Base->ArrayStorage();
        base = &outer.Base->Items()[outer.Pos];
    } else {
        base = Base->Address(ctx);
        if (!base)
            Fail("Only variables can be assigned by index");
    }
    return {base, Position(*base, index), owner};
}

Variant TIndexExpr::Eval(TRunContext& ctx) const {
    if (Base->IsVariable()) {
        TElementPlace place = Place(ctx);
        return place.Base->IsString() ? CharAt(*place.Base, place.Pos) : place.Base->Items()[place.Pos];
    }
    if (FLiteral) {
        // A constant array is read where it is, not copied for each element.
        const Variant& base = FLiteral->Value;
        std::size_t pos = Position(base, IndexValue(ctx));
        return base.IsString() ? CharAt(base, pos) : base.Items()[pos];
    }
    Variant base = Base->Eval(ctx);
    std::size_t pos = Position(base, IndexValue(ctx));
    if (base.IsString())
        return CharAt(base, pos);
    return std::move(base.Items()[pos]);
}

Variant* TIndexExpr::Address(TRunContext& ctx) const {
    TElementPlace place = Place(ctx);
    if (!place.Base->IsArray())
        Fail("A character of a text is no variable here");
    return &place.Base->Items()[place.Pos];
}

void TIndexExpr::Store(TRunContext& ctx, Variant value) const {
    if (Element && !Element->IsStatic)
        ConvertTo(Element->Kind, value);
    TElementPlace place = Place(ctx);
    if (place.Base->IsString())
        place.Base->StringValue()[place.Pos] = SingleChar(value, *this);
    else if (Element && Element->IsStatic)
        AssignFixedArray(place.Base->Items()[place.Pos], std::move(value));
    else
        place.Base->Items()[place.Pos] = std::move(value);
}

Variant* TElementRef::Bind(TRunContext& ctx, const TIndexExpr& element) {
    Release();
    TElementPlace place = element.Place(ctx);
    if (place.Base->IsArray()) {
        FHeld = place.Base->ArrayStorage();
        FHeld->Hold();
        return &FHeld->Items[place.Pos];
    }
    if (place.Owner) {
        FHeld = place.Owner;
        FHeld->Hold();
    }
    FText = place.Base;
    FPos = place.Pos;
    FChar = CharAt(*place.Base, place.Pos);
    return &FChar;
}

void TElementRef::WriteBack(const TNode& at) {
    if (!FText)
        return;
    char c = SingleChar(FChar, at);
    // The callee may have shortened the text or given the variable another value meanwhile.
    if (!FText->IsString() || FPos >= FText->StringValue().size())
        OutOfRange(at, static_cast<std::int64_t>(FPos) + 1, 1,
                   FText->IsString() ? static_cast<std::int64_t>(FText->StringValue().size()) : 0);
    FText->StringValue()[FPos] = c;
}

void TElementRef::Release() noexcept {
    if (FHeld)
        FHeld->Drop();
    FHeld = nullptr;
    FText = nullptr;
}

} // namespace kalmora::script
