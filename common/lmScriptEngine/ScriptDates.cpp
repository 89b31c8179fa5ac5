#include "ScriptDates.h"

#include "runtime/Exceptions.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace kalmora {
namespace {

using namespace std::chrono;

// Days from 1899-12-30 to 1970-01-01.
constexpr int UnixEpochDays = 25569;
constexpr double MilliSecondsPerDay = 86400000.0;
// 0001-01-01 and 9999-12-31 as day numbers.
constexpr double FirstDay = -693593;
constexpr double LastDay = 2958465;

enum class TDateOrder { DMY, MDY, YMD };

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string TwoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string Padded(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

// Replaces the composite strftime directives by their parts, so the rest sees only simple ones.
std::string ExpandComposites(std::string_view format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        char d = format[i + 1];
        const char* expanded = d == 'T'   ? "%H:%M:%S"
                               : d == 'R' ? "%H:%M"
                               : d == 'D' ? "%m/%d/%y"
                               : d == 'F' ? "%Y-%m-%d"
                               : d == 'r' ? "%I:%M:%S %p"
                                          : nullptr;
        if (expanded) {
            out += expanded;
        } else {
            out += '%';
            out += d;
        }
        ++i;
    }
    return out;
}

// The directive letter at format[i] == '%', past GNU flags and the E and O modifiers; `next` is the index
// after it. 0 when the format ends first.
char DirectiveAt(std::string_view format, std::size_t i, std::size_t& next, bool& noPadding) {
    std::size_t k = i + 1;
    noPadding = false;
    while (k < format.size() &&
           (format[k] == '-' || format[k] == '_' || format[k] == '0' || format[k] == '^' ||
            format[k] == '#' || format[k] == 'E' || format[k] == 'O')) {
        noPadding = noPadding || format[k] == '-';
        ++k;
    }
    next = k + 1;
    return k < format.size() ? format[k] : '\0';
}

void FlushLiteral(std::string& out, std::string& literal) {
    if (literal.empty())
        return;
    if (literal.find('"') == std::string::npos) {
        out += '"' + literal + '"';
    } else if (literal.find('\'') == std::string::npos) {
        out += '\'' + literal + '\'';
    } else {
        for (char c : literal)
            out += c == '"' ? std::string("'\"'") : std::string("\"") + c + '"';
    }
    literal.clear();
}

// The first literal character of a strftime format, or `fallback`.
std::string FirstSeparator(std::string_view format, std::string_view fallback) {
    std::string expanded = ExpandComposites(format);
    for (std::size_t i = 0; i < expanded.size();) {
        if (expanded[i] == '%') {
            bool noPadding = false;
            DirectiveAt(expanded, i, i, noPadding);
            continue;
        }
        if (expanded[i] != ' ')
            return std::string(1, expanded[i]);
        ++i;
    }
    return std::string(fallback);
}

TDateOrder DateOrderOf(const TFormatSettings& settings) {
    std::string expanded = ExpandComposites(settings.ShortDateFormat);
    std::string order;
    for (std::size_t i = 0; i < expanded.size();) {
        if (expanded[i] != '%') {
            ++i;
            continue;
        }
        bool noPadding = false;
        char d = DirectiveAt(expanded, i, i, noPadding);
        char field = d == 'd' || d == 'e' ? 'd' : d == 'm' ? 'm' : d == 'Y' || d == 'y' ? 'y' : '\0';
        if (field && order.find(field) == std::string::npos)
            order += field;
    }
    if (order.rfind("dm", 0) == 0 || order == "d")
        return TDateOrder::DMY;
    if (order.rfind("y", 0) == 0)
        return TDateOrder::YMD;
    return TDateOrder::MDY;
}

double Compose(double date, double time) {
    return date >= 0 ? date + time : date - time;
}

int CurrentYear() {
    return DecodeDateTime(DateToday()).Year;
}

bool HasTwelveHourMarker(std::string_view pattern) {
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (quote) {
            quote = c == quote ? 0 : quote;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (Lower(c) != 'a')
            continue;
        std::string rest;
        for (std::size_t k = i; k < pattern.size() && k < i + 5; ++k)
            rest += Lower(pattern[k]);
        if (rest.rfind("am/pm", 0) == 0 || rest.rfind("a/p", 0) == 0 || rest.rfind("ampm", 0) == 0)
            return true;
    }
    return false;
}

std::size_t RunLength(std::string_view pattern, std::size_t i, std::size_t limit) {
    char letter = Lower(pattern[i]);
    std::size_t n = 0;
    while (i + n < pattern.size() && n < limit && Lower(pattern[i + n]) == letter)
        ++n;
    return n;
}

std::string Format(std::string_view pattern, double value, const TFormatSettings& settings, int depth);

std::string ShortDateAndTime(double value, const TDateParts& parts, const TFormatSettings& settings,
                             int depth) {
    std::string out = Format(ShortDatePattern(settings), value, settings, depth + 1);
    if (parts.Hour || parts.Minute || parts.Second || parts.MilliSecond)
        out += ' ' + Format(LongTimePattern(settings), value, settings, depth + 1);
    return out;
}

std::string Format(std::string_view pattern, double value, const TFormatSettings& settings, int depth) {
    if (pattern.empty())
        pattern = "c";
    const TDateParts parts = DecodeDateTime(value);
    const bool twelveHour = HasTwelveHourMarker(pattern);
    const int hour12 = parts.Hour % 12 == 0 ? 12 : parts.Hour % 12;
    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char letter = Lower(c);
        std::size_t n = 1;
        switch (letter) {
        case '"':
        case '\'': {
            std::size_t end = pattern.find(c, i + 1);
            if (end == std::string_view::npos)
                end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            n = end - i + 1;
            break;
        }
        case 'd':
            n = RunLength(pattern, i, 6);
            if (n == 1)
                out += std::to_string(parts.Day);
            else if (n == 2)
                out += TwoDigits(parts.Day);
            else if (n == 3)
                out += settings.ShortDayNames[static_cast<std::size_t>(parts.DayOfWeek - 1)];
            else if (n == 4)
                out += settings.LongDayNames[static_cast<std::size_t>(parts.DayOfWeek - 1)];
            else if (depth == 0)
                out += Format(n == 5 ? ShortDatePattern(settings) : LongDatePattern(settings), value,
                              settings, depth + 1);
            afterHour = false;
            break;
        case 'm':
            n = RunLength(pattern, i, 4);
            if (afterHour && n <= 2) {
                out += n == 1 ? std::to_string(parts.Minute) : TwoDigits(parts.Minute);
            } else if (n <= 2) {
                out += n == 1 ? std::to_string(parts.Month) : TwoDigits(parts.Month);
            } else {
                const auto& names = n == 3 ? settings.ShortMonthNames : settings.LongMonthNames;
                out += names[static_cast<std::size_t>(parts.Month - 1)];
            }
            afterHour = false;
            break;
        case 'y':
            n = RunLength(pattern, i, 4);
            out += n <= 2 ? TwoDigits(parts.Year % 100) : Padded(parts.Year, 4);
            afterHour = false;
            break;
        case 'h':
            n = RunLength(pattern, i, 2);
            out += n == 1 ? std::to_string(twelveHour ? hour12 : parts.Hour)
                          : TwoDigits(twelveHour ? hour12 : parts.Hour);
            afterHour = true;
            break;
        case 'n':
            n = RunLength(pattern, i, 2);
            out += n == 1 ? std::to_string(parts.Minute) : TwoDigits(parts.Minute);
            afterHour = false;
            break;
        case 's':
            n = RunLength(pattern, i, 2);
            out += n == 1 ? std::to_string(parts.Second) : TwoDigits(parts.Second);
            afterHour = false;
            break;
        case 'z':
            n = RunLength(pattern, i, 3) == 3 ? 3 : 1;
            out += n == 3 ? Padded(parts.MilliSecond, 3) : std::to_string(parts.MilliSecond);
            afterHour = false;
            break;
        case 't':
            n = RunLength(pattern, i, 2);
            if (depth == 0)
                out += Format(n == 1 ? ShortTimePattern(settings) : LongTimePattern(settings), value,
                              settings, depth + 1);
            afterHour = false;
            break;
        case 'c':
            if (depth == 0)
                out += ShortDateAndTime(value, parts, settings, depth);
            afterHour = false;
            break;
        case 'a': {
            std::string rest;
            for (std::size_t k = i; k < pattern.size() && k < i + 5; ++k)
                rest += Lower(pattern[k]);
            const bool am = parts.Hour < 12;
            if (rest.rfind("am/pm", 0) == 0) {
                out += pattern.substr(am ? i : i + 3, 2);
                n = 5;
            } else if (rest.rfind("a/p", 0) == 0) {
                out += pattern[am ? i : i + 2];
                n = 3;
            } else if (rest.rfind("ampm", 0) == 0) {
                out += am ? settings.TimeAMString : settings.TimePMString;
                n = 4;
            } else {
                out += c;
            }
            break;
        }
        case '/':
            out += DateSeparator(settings);
            break;
        case ':':
            out += TimeSeparator(settings);
            break;
        default:
            out += c;
            break;
        }
        i += n;
    }
    return out;
}

// Reads a run of decimal digits (at most `maxDigits`) after optional blanks.
bool ReadNumber(std::string_view text, std::size_t& i, int& value, int& digits, int maxDigits = 4) {
    while (i < text.size() && text[i] == ' ')
        ++i;
    value = 0;
    digits = 0;
    while (i < text.size() && IsDigit(text[i]) && digits < maxDigits) {
        value = value * 10 + (text[i] - '0');
        ++digits;
        ++i;
    }
    return digits > 0;
}

bool ReadSeparator(std::string_view text, std::size_t& i, std::string_view separator) {
    while (i < text.size() && text[i] == ' ' && separator != " ")
        ++i;
    if (separator.empty() || text.compare(i, separator.size(), separator) != 0)
        return false;
    i += separator.size();
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

bool TryParseDate(std::string_view text, const TFormatSettings& settings, double& value) {
    text = Trimmed(text);
    const std::string separator = DateSeparator(settings);
    int numbers[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    std::size_t i = 0;
    int count = 0;
    while (count < 3) {
        if (!ReadNumber(text, i, numbers[count], digits[count])) {
            if (count == 2 && i == text.size())
                break; // a closing separator, as German writes "15.8."
            return false;
        }
        ++count;
        if (i == text.size() || !ReadSeparator(text, i, separator))
            break;
    }
    if (i != text.size() || count < 2)
        return false;
    int day = 0, month = 0, year = 0, yearDigits = 4;
    const TDateOrder order = DateOrderOf(settings);
    if (count == 2) {
        year = CurrentYear();
        day = order == TDateOrder::DMY ? numbers[0] : numbers[1];
        month = order == TDateOrder::DMY ? numbers[1] : numbers[0];
    } else {
        const int y = order == TDateOrder::YMD ? 0 : 2;
        const int m = order == TDateOrder::MDY ? 0 : 1;
        const int d = order == TDateOrder::DMY ? 0 : order == TDateOrder::MDY ? 1 : 2;
        year = numbers[y];
        yearDigits = digits[y];
        month = numbers[m];
        day = numbers[d];
    }
    if (yearDigits <= 2) {
        // Within 50 years of the current one, as Delphi's default century window does.
        const int threshold = CurrentYear() - 50;
        year += threshold / 100 * 100;
        if (year < threshold)
            year += 100;
    }
    return TryEncodeDate(year, month, day, value);
}

bool MatchesMarker(std::string_view rest, std::string_view marker) {
    if (marker.empty() || rest.size() != marker.size())
        return false;
    for (std::size_t k = 0; k < rest.size(); ++k) {
        if (Lower(rest[k]) != Lower(marker[k]))
            return false;
    }
    return true;
}

bool TryParseTime(std::string_view text, const TFormatSettings& settings, double& value) {
    text = Trimmed(text);
    const std::string separator = TimeSeparator(settings);
    int hour = 0, minute = 0, second = 0, milli = 0, digits = 0;
    std::size_t i = 0;
    if (!ReadNumber(text, i, hour, digits, 2))
        return false;
    const bool minutesGiven = ReadSeparator(text, i, separator);
    if (minutesGiven) {
        if (!ReadNumber(text, i, minute, digits, 2))
            return false;
        if (ReadSeparator(text, i, separator)) {
            if (!ReadNumber(text, i, second, digits, 2))
                return false;
            if (ReadSeparator(text, i, ".") || ReadSeparator(text, i, settings.DecimalSeparator)) {
                if (!ReadNumber(text, i, milli, digits, 3))
                    return false;
                milli *= digits == 1 ? 100 : digits == 2 ? 10 : 1;
            }
        }
    }
    std::string_view rest = Trimmed(text.substr(i));
    if (rest.empty() && !minutesGiven)
        return false; // a lone number is no time, "5 PM" is
    if (!rest.empty()) {
        const bool am = MatchesMarker(rest, settings.TimeAMString) || MatchesMarker(rest, "AM");
        const bool pm = !am && (MatchesMarker(rest, settings.TimePMString) || MatchesMarker(rest, "PM"));
        if ((!am && !pm) || hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    return TryEncodeTime(hour, minute, second, milli, value);
}

} // namespace

TDateParts DecodeDateTime(TDateTime value) {
    if (!std::isfinite(value) || value < FirstDay || value >= LastDay + 1)
        throw EConvertError("Invalid date-time value: " + std::to_string(value));
    const double whole = std::trunc(value);
    auto ms = static_cast<long long>(std::llround(std::fabs(value - whole) * MilliSecondsPerDay));
    if (ms >= 86400000)
        ms = 86399999; // a fraction a hair below one day is still the same day
    const sys_days day = sys_days{1970y / January / 1} + days{static_cast<long long>(whole) - UnixEpochDays};
    const year_month_day ymd{day};
    TDateParts parts;
    parts.Year = static_cast<int>(ymd.year());
    parts.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    parts.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    parts.DayOfWeek = static_cast<int>(weekday{day}.c_encoding()) + 1;
    parts.Hour = static_cast<int>(ms / 3600000);
    parts.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.MilliSecond = static_cast<int>(ms % 1000);
    return parts;
}

bool TryEncodeDate(int yearValue, int monthValue, int dayValue, TDateTime& value) {
    if (yearValue < 1 || yearValue > 9999 || monthValue < 1 || monthValue > 12 || dayValue < 1 ||
        dayValue > 31)
        return false;
    const year_month_day ymd{year{yearValue}, month{static_cast<unsigned>(monthValue)},
                             day{static_cast<unsigned>(dayValue)}};
    if (!ymd.ok())
        return false;
    value = static_cast<double>((sys_days{ymd} - sys_days{1970y / January / 1}).count() + UnixEpochDays);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || milliSecond < 0 ||
        milliSecond > 999)
        return false;
    value = ((hour * 60.0 + minute) * 60.0 + second + milliSecond / 1000.0) * 1000.0 / MilliSecondsPerDay;
    return true;
}

int DayOfWeek(TDateTime value) {
    return DecodeDateTime(value).DayOfWeek;
}

std::string StrftimeToPattern(std::string_view format) {
    const std::string expanded = ExpandComposites(format);
    std::string out;
    std::string literal;
    for (std::size_t i = 0; i < expanded.size();) {
        if (expanded[i] != '%') {
            literal += expanded[i++];
            continue;
        }
        bool noPadding = false;
        const char d = DirectiveAt(expanded, i, i, noPadding);
        const char* field = nullptr;
        switch (d) {
        case 'd':
            field = noPadding ? "d" : "dd";
            break;
        case 'e':
            field = "d";
            break;
        case 'm':
            field = noPadding ? "m" : "mm";
            break;
        case 'Y':
            field = "yyyy";
            break;
        case 'y':
            field = "yy";
            break;
        case 'H':
        case 'I':
            field = noPadding ? "h" : "hh";
            break;
        case 'k':
        case 'l':
            field = "h";
            break;
        case 'M':
            field = noPadding ? "n" : "nn";
            break;
        case 'S':
            field = noPadding ? "s" : "ss";
            break;
        case 'p':
        case 'P':
            field = "ampm";
            break;
        case 'a':
            field = "ddd";
            break;
        case 'A':
            field = "dddd";
            break;
        case 'b':
        case 'h':
            field = "mmm";
            break;
        case 'B':
            field = "mmmm";
            break;
        case 'n':
            literal += '\n';
            break;
        case 't':
            literal += '\t';
            break;
        case '%':
            literal += '%';
            break;
        default:
            break; // time zones, week numbers and the like have no Delphi letter
        }
        if (field) {
            FlushLiteral(out, literal);
            out += field;
        }
    }
    FlushLiteral(out, literal);
    return out;
}

std::string DateSeparator(const TFormatSettings& settings) {
    return FirstSeparator(settings.ShortDateFormat, "/");
}

std::string TimeSeparator(const TFormatSettings& settings) {
    return FirstSeparator(settings.LongTimeFormat, ":");
}

std::string ShortDatePattern(const TFormatSettings& settings) {
    return StrftimeToPattern(settings.ShortDateFormat);
}

std::string LongDatePattern(const TFormatSettings& settings) {
    // glibc knows no long date format; this follows the short one's order with the names written out.
    switch (DateOrderOf(settings)) {
    case TDateOrder::DMY:
        return "dddd, d. mmmm yyyy";
    case TDateOrder::YMD:
        return "dddd, yyyy mmmm d";
    default:
        return "dddd, mmmm d, yyyy";
    }
}

std::string LongTimePattern(const TFormatSettings& settings) {
    return StrftimeToPattern(settings.LongTimeFormat);
}

std::string ShortTimePattern(const TFormatSettings& settings) {
    // The long time without its seconds and the separator in front of them.
    std::string expanded = ExpandComposites(settings.LongTimeFormat);
    std::size_t previousEnd = 0;
    for (std::size_t i = 0; i < expanded.size();) {
        if (expanded[i] != '%') {
            ++i;
            continue;
        }
        bool noPadding = false;
        std::size_t next = 0;
        const char d = DirectiveAt(expanded, i, next, noPadding);
        if (d == 'S') {
            expanded.erase(previousEnd, next - previousEnd);
            break;
        }
        previousEnd = next;
        i = next;
    }
    return StrftimeToPattern(expanded);
}

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& settings) {
    return Format(pattern, value, settings, 0);
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(ShortDatePattern(settings), value, settings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(LongTimePattern(settings), value, settings);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime("c", value, settings);
}

TDateTime StrToDate(std::string_view text, const TFormatSettings& settings) {
    double value = 0;
    if (!TryParseDate(text, settings, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid date");
    return value;
}

TDateTime StrToTime(std::string_view text, const TFormatSettings& settings) {
    double value = 0;
    if (!TryParseTime(text, settings, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid time");
    return value;
}

TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings) {
    std::string_view trimmed = Trimmed(text);
    const std::size_t blank = trimmed.find(' ');
    double date = 0;
    double time = 0;
    const bool valid = blank == std::string_view::npos
                           ? TryParseDate(trimmed, settings, date)
                           : TryParseDate(trimmed.substr(0, blank), settings, date) &&
                                 TryParseTime(trimmed.substr(blank + 1), settings, time);
    if (!valid)
        throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
    return Compose(date, time);
}

} // namespace kalmora
