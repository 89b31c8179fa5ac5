// Date and time texts: Delphi patterns over the locale's formats, parsing by the locale's order and
// separators, and the date functions as scripts call them.

#include "lmScriptEngine/ScriptDates.h"

#include "VocabularyCalls.h"
#include "runtime/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kalmora {
namespace {

// Thursday, 15 August 2024.
constexpr double August15 = 45519.0;
// 13:05:09.007
const double Afternoon = (13 * 3600 + 5 * 60 + 9 + 0.007) / 86400.0;

TFormatSettings German() {
    TFormatSettings s;
    s.DecimalSeparator = ",";
    s.ShortDateFormat = "%d.%m.%Y";
    s.LongTimeFormat = "%H:%M:%S";
    s.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    s.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    s.ShortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    s.LongMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    s.TimeAMString = "";
    s.TimePMString = "";
    return s;
}

TFormatSettings American() {
    TFormatSettings s;
    s.ShortDateFormat = "%m/%d/%Y";
    s.LongTimeFormat = "%r"; // glibc's en_US form: %I:%M:%S %p
    s.TimeAMString = "AM";
    s.TimePMString = "PM";
    return s;
}

TEST(ScriptDates, DecodingCountsFromTheEndOf1899) {
    TDateParts parts = DecodeDateTime(August15 + Afternoon);
    EXPECT_EQ(parts.Year, 2024);
    EXPECT_EQ(parts.Month, 8);
    EXPECT_EQ(parts.Day, 15);
    EXPECT_EQ(parts.DayOfWeek, 5);
    EXPECT_EQ(parts.Hour, 13);
    EXPECT_EQ(parts.Minute, 5);
    EXPECT_EQ(parts.Second, 9);
    EXPECT_EQ(parts.MilliSecond, 7);
    EXPECT_EQ(DayOfWeek(0), 7) << "30 December 1899 was a Saturday";
    parts = DecodeDateTime(-1.25);
    EXPECT_EQ(parts.Day, 29) << "before 1899 the fraction still counts forward";
    EXPECT_EQ(parts.Hour, 6);
    EXPECT_THROW(DecodeDateTime(1e9), EConvertError);
    EXPECT_THROW(DecodeDateTime(std::nan("")), EConvertError);
    double encoded = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 8, 15, encoded));
    EXPECT_EQ(encoded, August15);
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, encoded));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, encoded));
}

TEST(ScriptDates, LocaleFormatsBecomeDelphiPatterns) {
    EXPECT_EQ(StrftimeToPattern("%d.%m.%Y"), "dd\".\"mm\".\"yyyy");
    EXPECT_EQ(StrftimeToPattern("%r"), "hh\":\"nn\":\"ss\" \"ampm");
    EXPECT_EQ(StrftimeToPattern("%-d. %B %Y %Z"), "d\". \"mmmm\" \"yyyy\" \"");
    EXPECT_EQ(StrftimeToPattern("%H'h\"%M"), "hh\"'\"\"h\"'\"'nn") << "both quote kinds as literals";
    EXPECT_EQ(DateSeparator(German()), ".");
    EXPECT_EQ(TimeSeparator(American()), ":");
    EXPECT_EQ(DateSeparator(TFormatSettings{}), "/");
    EXPECT_EQ(ShortTimePattern(American()), "hh\":\"nn\" \"ampm") << "the long time without its seconds";
    EXPECT_EQ(LongDatePattern(German()), "dddd, d. mmmm yyyy");
    EXPECT_EQ(LongDatePattern(American()), "dddd, mmmm d, yyyy");
}

struct TPatternCase {
    const char* Name;
    const char* Pattern;
    double Value;
    const char* Expected;
};

class FormatDateTimePatterns : public testing::TestWithParam<TPatternCase> {};

TEST_P(FormatDateTimePatterns, German) {
    const TPatternCase& c = GetParam();
    EXPECT_EQ(FormatDateTime(c.Pattern, c.Value, German()), c.Expected) << c.Pattern;
}

INSTANTIATE_TEST_SUITE_P(
    ScriptDates, FormatDateTimePatterns,
    testing::Values(TPatternCase{"numbers", "dd.mm.yyyy hh:nn:ss", August15 + Afternoon,
                                 "15.08.2024 13:05:09"},
                    TPatternCase{"without_zeros", "d/m/yy h:n:s", 45293.0 + 1.0 / 24, "2.1.24 1:0:0"},
                    TPatternCase{"names", "ddd dddd mmm mmmm", August15, "Do Donnerstag Aug August"},
                    TPatternCase{"m_after_h_is_minutes", "hh:mm mm", August15 + Afternoon, "13:05 08"},
                    TPatternCase{"milliseconds", "s.zzz z", August15 + Afternoon, "9.007 7"},
                    TPatternCase{"short_date", "ddddd", August15 + Afternoon, "15.08.2024"},
                    TPatternCase{"long_date", "dddddd", August15, "Donnerstag, 15. August 2024"},
                    TPatternCase{"short_time", "t", August15 + Afternoon, "13:05"},
                    TPatternCase{"long_time", "tt", August15 + Afternoon, "13:05:09"},
                    TPatternCase{"c", "c", August15 + Afternoon, "15.08.2024 13:05:09"},
                    TPatternCase{"c_at_midnight", "c", August15, "15.08.2024"},
                    TPatternCase{"empty_is_c", "", August15, "15.08.2024"},
                    TPatternCase{"quoted", "'Heute:' yyyy \"mm\"", August15, "Heute: 2024 mm"},
                    TPatternCase{"unterminated_quote", "yyyy 'rest", August15, "2024 rest"},
                    TPatternCase{"am_pm_keeps_case", "hh:nn am/pm, h A/P, H AM/PM", August15 + Afternoon,
                                 "01:05 pm, 1 P, 1 PM"},
                    TPatternCase{"morning", "h am/pm", August15 + 0.25, "6 am"},
                    TPatternCase{"ampm_uses_the_locale", "hh ampm|", August15 + Afternoon, "01 |"},
                    TPatternCase{"noon_and_midnight", "h a/p", August15 + 0.5, "12 p"},
                    TPatternCase{"four_digit_year", "yyyy", 1.0 - 693594.0 + 366.0, "0002"},
                    TPatternCase{"before_1899", "dd.mm.yyyy hh:nn", -1.25, "29.12.1899 06:00"},
                    TPatternCase{"other_characters_stay", "yyyy-mm-dd #x!", August15, "2024-08-15 #x!"}),
    [](const testing::TestParamInfo<TPatternCase>& info) { return std::string(info.param.Name); });

TEST(ScriptDates, EveryShortPatternFormatsWithoutFault) {
    const std::string alphabet = "dmyhnsztcaAP/:'\"x ";
    std::vector<std::string> patterns = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& p : patterns)
            for (char c : alphabet)
                longer.push_back(p + c);
        patterns = std::move(longer);
        for (const std::string& pattern : patterns)
            EXPECT_NO_THROW(FormatDateTime(pattern, August15 + Afternoon, German())) << pattern;
    }
}

TEST(ScriptDates, ShortDateLongTimeAndTheirCombination) {
    const TFormatSettings us = American();
    EXPECT_EQ(DateToStr(August15 + Afternoon, us), "08/15/2024");
    EXPECT_EQ(TimeToStr(August15 + Afternoon, us), "01:05:09 PM");
    EXPECT_EQ(DateTimeToStr(August15 + Afternoon, us), "08/15/2024 01:05:09 PM");
    EXPECT_EQ(DateTimeToStr(August15, us), "08/15/2024");
    EXPECT_EQ(DateTimeToStr(August15 + Afternoon, German()), "15.08.2024 13:05:09");
    EXPECT_EQ(FormatDateTime("t", August15 + Afternoon, us), "01:05 PM");
}

TEST(ScriptDates, DatesParseInTheLocaleOrder) {
    const TFormatSettings de = German();
    EXPECT_EQ(StrToDate("15.08.2024", de), August15);
    EXPECT_EQ(StrToDate(" 15.8.2024 ", de), August15);
    EXPECT_EQ(StrToDate("15.8.24", de), August15) << "two-digit years lie within 50 years of today";
    EXPECT_EQ(StrToDate("8/15/2024", American()), August15);
    TFormatSettings iso;
    iso.ShortDateFormat = "%Y-%m-%d";
    EXPECT_EQ(StrToDate("2024-08-15", iso), August15);
    const int thisYear = DecodeDateTime(DateToday()).Year;
    EXPECT_EQ(DecodeDateTime(StrToDate("1.2", de)).Year, thisYear) << "a missing year is this one";
    EXPECT_EQ(DecodeDateTime(StrToDate("1.2", de)).Month, 2);
    EXPECT_EQ(StrToDate("1.2.", de), StrToDate("1.2", de)) << "a closing separator";
    EXPECT_EQ(StrToDate("15.08.2024.", de), August15);
    for (const char* bad :
         {"31.02.2024", "2024-08-15", "15.08.2024.1", "15", "15.", "", "15.08.20245", "a.b.c", "1..2"})
        EXPECT_THROW(StrToDate(bad, de), EConvertError) << bad;
}

TEST(ScriptDates, TimesParseWithOptionalSecondsAndMarkers) {
    const TFormatSettings us = American();
    auto hm = [](int h, int m, int s = 0) { return (h * 3600 + m * 60 + s) / 86400.0; };
    EXPECT_DOUBLE_EQ(StrToTime("13:05", us), hm(13, 5));
    EXPECT_DOUBLE_EQ(StrToTime("13:05:09", us), hm(13, 5, 9));
    EXPECT_NEAR(StrToTime("13:05:09.5", us), hm(13, 5, 9) + 0.5 / 86400, 1e-12);
    EXPECT_DOUBLE_EQ(StrToTime("1:05 PM", us), hm(13, 5));
    EXPECT_DOUBLE_EQ(StrToTime("12:00 am", us), 0.0);
    EXPECT_DOUBLE_EQ(StrToTime("12:30 PM", us), hm(12, 30));
    EXPECT_DOUBLE_EQ(StrToTime("5 PM", us), hm(17, 0));
    for (const char* bad : {"25:00", "13", "12:60", "13:00 PM", "1:00 XM", "", "1::2"})
        EXPECT_THROW(StrToTime(bad, us), EConvertError) << bad;
    EXPECT_DOUBLE_EQ(StrToDateTime("15.08.2024 13:05", German()), August15 + hm(13, 5));
    EXPECT_EQ(StrToDateTime("15.08.2024", German()), August15);
    EXPECT_THROW(StrToDateTime("15.08.2024 later", German()), EConvertError);
}

TEST(ScriptDates, ScriptFunctionsReturnDateVariantsOnTheProgramSettings) {
    test::TVocabulary call;
    const Variant today = call("Date");
    EXPECT_EQ(today.Type(), TVarType::Date);
    EXPECT_EQ(today.DoubleValue(), std::floor(today.DoubleValue()));
    const Variant now = call("Now");
    EXPECT_GE(now.DoubleValue(), today.DoubleValue());
    EXPECT_LT(now.DoubleValue(), today.DoubleValue() + 1.001);
    const Variant day = Variant::FromDateTime(August15 + Afternoon);
    EXPECT_EQ(call("DayOfWeek", {day}).AsInteger(), 5);
    EXPECT_EQ(call("FormatDateTime", {"yyyy-mm-dd hh:nn", day}).AsString(), "2024-08-15 13:05");
    // The tests run on the "C" settings: month/day/two-digit year, 24 hours.
    EXPECT_EQ(call("DateToStr", {day}).AsString(), "08/15/24");
    EXPECT_EQ(call("TimeToStr", {day}).AsString(), "13:05:09");
    EXPECT_EQ(call("DateTimeToStr", {day}).AsString(), "08/15/24 13:05:09");
    const Variant parsed = call("StrToDate", {"08/15/24"});
    EXPECT_EQ(parsed.Type(), TVarType::Date);
    EXPECT_EQ(parsed.DoubleValue(), August15);
    EXPECT_EQ(call("StrToTime", {"12:00"}).Type(), TVarType::Date);
    EXPECT_EQ(call("StrToDateTime", {"08/15/24 12:00"}).DoubleValue(), August15 + 0.5);
    EXPECT_THROW(call("StrToDate", {"15.08.2024"}), EConvertError);
    EXPECT_THROW(call("DateToStr", {"not a date"}), EConvertError);
}

} // namespace
} // namespace kalmora
