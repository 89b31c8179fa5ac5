#include "ScriptDates.h"
#include "ScriptDialogs.h"
#include "ScriptText.h"
#include "VocabularyGroups.h"
#include "runtime/Exceptions.h"

namespace kalmora {

void RegisterDateFunctions(TJvInterpreterAdapter& registry) {
    const std::string unit = "SysUtils";
    auto define = [&](const char* name, int count, THostFunction function) {
        registry.DefineFunction(unit, name, std::move(function), count, {}, ResultNotDeclared);
    };
    auto date = [](double value) { return Variant::FromDateTime(value); };
    define("DayOfWeek", 1, [](Variant& r, TJvInterpreterArgs& a) { r = DayOfWeek(a[0].AsDateTime()); });
    define("Date", 0, [date](Variant& r, TJvInterpreterArgs&) { r = date(DateToday()); });
    define("Now", 0, [date](Variant& r, TJvInterpreterArgs&) { r = date(DateTimeNow()); });
    define("DateToStr", 1, [](Variant& r, TJvInterpreterArgs& a) { r = DateToStr(a[0].AsDateTime()); });
    define("TimeToStr", 1, [](Variant& r, TJvInterpreterArgs& a) { r = TimeToStr(a[0].AsDateTime()); });
    define("DateTimeToStr", 1,
           [](Variant& r, TJvInterpreterArgs& a) { r = DateTimeToStr(a[0].AsDateTime()); });
    define("StrToDate", 1,
           [date](Variant& r, TJvInterpreterArgs& a) { r = date(StrToDate(a[0].AsString())); });
    define("StrToTime", 1,
           [date](Variant& r, TJvInterpreterArgs& a) { r = date(StrToTime(a[0].AsString())); });
    define("StrToDateTime", 1,
           [date](Variant& r, TJvInterpreterArgs& a) { r = date(StrToDateTime(a[0].AsString())); });
    define("FormatDateTime", 2,
           [](Variant& r, TJvInterpreterArgs& a) { r = FormatDateTime(a[0].AsString(), a[1].AsDateTime()); });
    define("Abort", 0, [](Variant&, TJvInterpreterArgs&) { throw EAbort(); });
    define("Beep", 0, [](Variant&, TJvInterpreterArgs&) { ScriptBeep(); });
    define("Pos", 2,
           [](Variant& r, TJvInterpreterArgs& a) { r = ScriptPos(a[0].AsString(), a[1].AsString()); });
}

} // namespace kalmora
