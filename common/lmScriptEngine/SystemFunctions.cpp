#include "ScriptText.h"
#include "VocabularyGroups.h"
#include "runtime/Exceptions.h"

#include <cmath>
#include <limits>

namespace kalmora {
namespace {

Variant Ord(const Variant& x) {
    if (!x.IsString())
        return x.AsInteger();
    // Delphi reads past the end of an empty text here; a clear error is the sound answer.
    if (x.StringValue().empty())
        throw EConvertError("Ord of an empty text");
    return static_cast<int>(static_cast<unsigned char>(x.StringValue().front()));
}

Variant Abs(const Variant& x) {
    if (x.Type() == TVarType::Integer) {
        const int value = x.IntValue();
        // The most negative integer has no positive counterpart and stays as it is.
        return value < 0 && value != std::numeric_limits<int>::min() ? -value : value;
    }
    return std::fabs(x.AsDouble());
}

Variant Length(const Variant& x) {
    if (x.IsArray())
        return x.ArrayLength(); // the variant's arrays have exactly one dimension, counted from 0
    // A text is measured where it lies: a copy of a long one costs more than the count.
    if (x.IsString())
        return static_cast<int>(x.StringValue().size());
    return static_cast<int>(x.AsString().size());
}

} // namespace

void RegisterSystemFunctions(TJvInterpreterAdapter& registry) {
    const std::string unit = "System";
    auto define = [&](const char* name, int count, THostFunction function,
                      std::vector<std::uint16_t> kinds = {}) {
        registry.DefineFunction(unit, name, std::move(function), count, std::move(kinds), ResultNotDeclared);
    };
    define("Ord", 1, [](Variant& r, TJvInterpreterArgs& a) { r = Ord(a[0]); });
    define("Chr", 1, [](Variant& r, TJvInterpreterArgs& a) {
        r = std::string(1, static_cast<char>(a[0].AsInteger() & 0xFF));
    });
    define("Abs", 1, [](Variant& r, TJvInterpreterArgs& a) { r = Abs(a[0]); });
    define("Length", 1, [](Variant& r, TJvInterpreterArgs& a) { r = Length(a[0]); });
    define("Copy", 3, [](Variant& r, TJvInterpreterArgs& a) {
        r = ScriptCopy(a[0].AsString(), a[1].AsInteger(), a[2].AsInteger());
    });
    define("Round", 1, [](Variant& r, TJvInterpreterArgs& a) { r = RoundToInt32(a[0].AsDouble()); });
    define("Trunc", 1, [](Variant& r, TJvInterpreterArgs& a) { r = TruncToInt32(a[0].AsDouble()); });
    define("Delete", 3,
           [](Variant& r, TJvInterpreterArgs& a) {
               std::string text = a[0].AsString();
               ScriptDelete(text, a[1].AsInteger(), a[2].AsInteger());
               r = text;
               a[0] = std::move(text);
           },
           {ParamByRef});
    define("Insert", 3,
           [](Variant& r, TJvInterpreterArgs& a) {
               std::string text = a[1].AsString();
               ScriptInsert(a[0].AsString(), text, a[2].AsInteger());
               r = text;
               a[1] = std::move(text);
           },
           {ParamByValue, ParamByRef});
}

} // namespace kalmora
