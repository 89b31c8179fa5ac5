#pragma once

// Date and time texts of the script vocabulary. A date-time counts days since 30 December 1899 with the time
// of day as the fraction; before that day the whole part is negative and the fraction still counts forward
// from midnight (-1.25 is 29 December 1899, 06:00). Patterns are Delphi's (d, mm, yyyy, hh, nn, ss, ...);
// the locale's formats arrive in strftime form and are translated. Failed conversions raise EConvertError.

#include "ScriptTypes.h"
#include "runtime/FormatSettings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kalmora {

struct TDateParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
    int DayOfWeek = 7; // 1 Sunday ... 7 Saturday
};

// EConvertError for a value outside the years 1 to 9999 or not a number.
TDateParts DecodeDateTime(TDateTime value);
// False when a field is out of range.
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value);

// 1 Sunday ... 7 Saturday.
int DayOfWeek(TDateTime value);

// The locale's formats as Delphi patterns, and the separators "/" and ":" stand for.
std::string ShortDatePattern(const TFormatSettings& settings);
std::string LongDatePattern(const TFormatSettings& settings);
std::string ShortTimePattern(const TFormatSettings& settings);
std::string LongTimePattern(const TFormatSettings& settings);
std::string DateSeparator(const TFormatSettings& settings);
std::string TimeSeparator(const TFormatSettings& settings);
// A strftime format (the locale's form) as a Delphi pattern; literal text is quoted.
std::string StrftimeToPattern(std::string_view format);

// An empty pattern means "c".
std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const TFormatSettings& settings = FormatSettings());
std::string DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
// The time is left out at exactly midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());

// Day, month and year in the order of the short date format, separated by the date separator; the year may
// be left out (the current one) or have two digits (within 50 years of the current one).
TDateTime StrToDate(std::string_view text, const TFormatSettings& settings = FormatSettings());
// Hours and minutes, optional seconds and milliseconds, separated by the time separator, then an optional
// AM or PM marker.
TDateTime StrToTime(std::string_view text, const TFormatSettings& settings = FormatSettings());
// A date, then optionally a blank and a time.
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings = FormatSettings());

} // namespace kalmora
