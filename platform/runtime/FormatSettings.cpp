#include "FormatSettings.h"

#include <langinfo.h>
#include <locale.h>
#include <memory>

namespace kalmora {
namespace {

TFormatSettings& Current() {
    static TFormatSettings settings = ReadFormatSettings("C");
    return settings;
}

struct LocaleDeleter {
    void operator()(locale_t loc) const { freelocale(loc); }
};
using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

std::string Info(nl_item item, locale_t loc) {
    const char* text = nl_langinfo_l(item, loc);
    return text ? text : "";
}

} // namespace

TFormatSettings ReadFormatSettings(const char* localeName) {
    LocalePtr loc(newlocale(LC_ALL_MASK, localeName, nullptr));
    if (!loc)
        loc.reset(newlocale(LC_ALL_MASK, "C", nullptr));
    TFormatSettings s;
    if (!loc)
        return s;
    if (auto radix = Info(RADIXCHAR, loc.get()); !radix.empty())
        s.DecimalSeparator = radix;
    s.ThousandSeparator = Info(THOUSEP, loc.get());
    if (auto date = Info(D_FMT, loc.get()); !date.empty())
        s.ShortDateFormat = date;
    if (auto time = Info(T_FMT, loc.get()); !time.empty())
        s.LongTimeFormat = time;
    s.TimeAMString = Info(AM_STR, loc.get());
    s.TimePMString = Info(PM_STR, loc.get());
    // CRNCYSTR starts with "-" when the symbol precedes the amount, "+" when it follows.
    if (auto currency = Info(CRNCYSTR, loc.get()); !currency.empty() && currency.front() != '.') {
        s.CurrencyBefore = currency.front() != '+';
        s.CurrencyString = currency.substr(1);
    }
    s.CurrencySpaced = *nl_langinfo_l(P_SEP_BY_SPACE, loc.get()) == 1;
    if (int digits = *nl_langinfo_l(FRAC_DIGITS, loc.get()); digits >= 0 && digits <= 18)
        s.CurrencyDecimals = digits;
    for (int i = 0; i < 7; ++i) {
        s.ShortDayNames[i] = Info(ABDAY_1 + i, loc.get());
        s.LongDayNames[i] = Info(DAY_1 + i, loc.get());
    }
    for (int i = 0; i < 12; ++i) {
        s.ShortMonthNames[i] = Info(ABMON_1 + i, loc.get());
        s.LongMonthNames[i] = Info(MON_1 + i, loc.get());
    }
    return s;
}

const TFormatSettings& FormatSettings() {
    return Current();
}

void LoadUserFormatSettings() {
    Current() = ReadFormatSettings("");
}

std::string FormatLocalDateTime(std::time_t when, const TFormatSettings& settings) {
    std::tm local{};
    localtime_r(&when, &local);
    auto format = [&](const std::string& pattern) {
        char buffer[256];
        std::size_t n = std::strftime(buffer, sizeof buffer, pattern.c_str(), &local);
        return std::string(buffer, n);
    };
    return format(settings.ShortDateFormat) + " " + format(settings.LongTimeFormat);
}

} // namespace kalmora
