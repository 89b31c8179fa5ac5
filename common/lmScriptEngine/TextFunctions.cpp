#include "ScriptFormat.h"
#include "ScriptText.h"
#include "UtilBox/TextHelpers.h"
#include "VocabularyGroups.h"
#include "lmInterfaces/LocaleText.h"

namespace kalmora {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string TrimLeft(std::string text) {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    return text.substr(first);
}

std::string TrimRight(std::string text) {
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    return text;
}

int Sign(int comparison) {
    return (comparison > 0) - (comparison < 0);
}

} // namespace

void RegisterTextFunctions(TJvInterpreterAdapter& registry) {
    const std::string unit = "SysUtils";
    auto define = [&](const char* name, int count, THostFunction function,
                      std::vector<std::uint16_t> kinds = {}) {
        registry.DefineFunction(unit, name, std::move(function), count, std::move(kinds), ResultNotDeclared);
    };
    define("UpperCase", 1, [](Variant& r, TJvInterpreterArgs& a) { r = AnsiUpperCase(a[0].AsString()); });
    define("LowerCase", 1, [](Variant& r, TJvInterpreterArgs& a) { r = AnsiLowerCase(a[0].AsString()); });
    define("CompareStr", 2, [](Variant& r, TJvInterpreterArgs& a) {
        r = Sign(AnsiCompareStr(a[0].AsString(), a[1].AsString()));
    });
    define("CompareText", 2, [](Variant& r, TJvInterpreterArgs& a) {
        r = Sign(AnsiCompareText(a[0].AsString(), a[1].AsString()));
    });
    define("Trim", 1, [](Variant& r, TJvInterpreterArgs& a) { r = Trim(a[0].AsString()); });
    define("TrimLeft", 1, [](Variant& r, TJvInterpreterArgs& a) { r = TrimLeft(a[0].AsString()); });
    define("TrimRight", 1, [](Variant& r, TJvInterpreterArgs& a) { r = TrimRight(a[0].AsString()); });
    define("QuotedStr", 2,
           [](Variant& r, TJvInterpreterArgs& a) { r = QuotedStr(a[0].AsString(), a[1].AsString()); });
    define("ExtractQuotedStr", 2,
           [](Variant& r, TJvInterpreterArgs& a) {
               std::string text = a[0].AsString();
               r = ExtractQuotedStr(text, a[1].AsString());
               a[0] = std::move(text);
           },
           {ParamByRef});
    define("IntToStr", 1, [](Variant& r, TJvInterpreterArgs& a) { r = std::to_string(a[0].AsInteger()); });
    define("StrToInt", 1, [](Variant& r, TJvInterpreterArgs& a) { r = StrToInt(a[0].AsString()); });
    define("StrToIntDef", 2,
           [](Variant& r, TJvInterpreterArgs& a) { r = StrToIntDef(a[0].AsString(), a[1].AsInteger()); });
    define("Format", 2,
           [](Variant& r, TJvInterpreterArgs& a) { r = FormatValues(a[0].AsString(), a.FormatArgs(1)); });
    define("FloatToStr", 1, [](Variant& r, TJvInterpreterArgs& a) { r = FloatToStr(a[0].AsDouble()); });
    define("StrToFloat", 1, [](Variant& r, TJvInterpreterArgs& a) { r = StrToFloat(a[0].AsString()); });
}

} // namespace kalmora
