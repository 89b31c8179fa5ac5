#include "Variant.h"

#include "runtime/Exceptions.h"
#include "runtime/FormatSettings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace kalmora {
namespace {

constexpr double CurrencyScale = 10000.0;

[[noreturn]] void ConversionFailed(TVarType from, std::string_view to) {
    throw EConvertError("Could not convert variant of type (" + std::string(Variant::TypeName(from)) +
                        ") into type (" + std::string(to) + ")");
}

[[noreturn]] void TextNotConvertible(const std::string& text, std::string_view to) {
    throw EConvertError("Could not convert variant of type (String) into type (" + std::string(to) + "): '" +
                        text.substr(0, 80) + "'");
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

int DoubleToInteger(double value, TVarType from) {
    double rounded = std::nearbyint(value); // banker's rounding under the default rounding mode
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max()))
        ConversionFailed(from, "Integer");
    return static_cast<int>(rounded);
}

// A date-time as Delphi writes one: the locale's short date, then its long time unless the time is exactly
// midnight. The whole days count from 30 December 1899; the time is the fraction's absolute value, also for
// dates before that day.
std::string DateTimeText(double days) {
    if (!(days > -693594.0 && days < 2958466.0)) // outside the years 1 to 9999
        return FloatToStr(days);
    double whole = std::trunc(days);
    auto ms = static_cast<long long>(std::llround(std::fabs(days - whole) * 86400000.0));
    ms = std::min(ms, 86399999LL);
    // Days since 1 March 0000 (proleptic Gregorian), split into eras of 400 years.
    long long z = static_cast<long long>(whole) - 25569 + 719468; // 25569: 30 Dec 1899 to 1 Jan 1970
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long day = doy - (153 * mp + 2) / 5 + 1;
    long long month = mp < 10 ? mp + 3 : mp - 9;
    long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    std::tm parts{};
    parts.tm_year = static_cast<int>(year - 1900);
    parts.tm_mon = static_cast<int>(month - 1);
    parts.tm_mday = static_cast<int>(day);
    parts.tm_hour = static_cast<int>(ms / 3600000);
    parts.tm_min = static_cast<int>(ms / 60000 % 60);
    parts.tm_sec = static_cast<int>(ms / 1000 % 60);
    parts.tm_wday = static_cast<int>(((z - 719468 + 4) % 7 + 7) % 7); // 1 Jan 1970 was a Thursday
    const TFormatSettings& settings = FormatSettings();
    auto format = [&](const std::string& pattern) {
        char buffer[256];
        std::size_t n = std::strftime(buffer, sizeof buffer, pattern.c_str(), &parts);
        return std::string(buffer, n);
    };
    std::string text = format(settings.ShortDateFormat);
    if (ms != 0)
        text += " " + format(settings.LongTimeFormat);
    return text;
}

} // namespace

Variant::Variant(std::vector<Variant> items, int low) : FType(TVarType::Array) {
    FArray = new TArrayBox{std::move(items), low};
}

Variant& Variant::AssignSlow(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        Clear();
        MoveFrom(copy);
    }
    return *this;
}

Variant Variant::FromCurrencyUnits(std::int64_t units) noexcept {
    Variant v;
    v.FType = TVarType::Currency;
    v.FCurrency = units;
    return v;
}

Variant Variant::FromCurrency(double value) {
    // Scaled in extended precision, as the FPU does it, so that the large amounts a Currency holds (up to
    // 922337203685477.5807) keep their last unit; the range is exactly that of the 64-bit units.
    long double units = std::nearbyint(static_cast<long double>(value) * CurrencyScale);
    if (!(units >= -0x1p63L && units < 0x1p63L))
        throw EOverflow("Floating point overflow");
    return FromCurrencyUnits(static_cast<std::int64_t>(units));
}

Variant Variant::FromDateTime(double days) noexcept {
    Variant v;
    v.FType = TVarType::Date;
    v.FDouble = days;
    return v;
}

Variant Variant::FromObject(TScriptObject* obj) noexcept {
    Variant v;
    if (obj) {
        v.FType = TVarType::Object;
        v.FObject = obj;
        obj->ScriptAddRef();
    }
    return v;
}

void Variant::ClearSlow() noexcept {
    switch (FType) {
    case TVarType::String:
        FString.~basic_string();
        break;
    case TVarType::Array:
        FArray->Drop();
        break;
    case TVarType::Object:
        FObject->ScriptRelease();
        break;
    default:
        break;
    }
    FType = TVarType::Empty;
    FCurrency = 0;
}

void Variant::CopyFrom(const Variant& other) {
    switch (other.FType) {
    case TVarType::String:
        new (&FString) std::string(other.FString);
        break;
    case TVarType::Array:
        FArray = new TArrayBox{other.FArray->Items, other.FArray->Low};
        break;
    case TVarType::Object:
        FObject = other.FObject;
        FObject->ScriptAddRef();
        break;
    default:
        FCurrency = other.FCurrency; // the widest of the plain members
        break;
    }
    FType = other.FType;
}

bool Variant::IsNumeric() const noexcept {
    switch (FType) {
    case TVarType::Integer:
    case TVarType::Double:
    case TVarType::Currency:
    case TVarType::Date:
        return true;
    default:
        return false;
    }
}

bool Variant::AsBoolean() const {
    switch (FType) {
    case TVarType::Empty:
        return false;
    case TVarType::Boolean:
        return FBool;
    case TVarType::Integer:
        return FInt != 0;
    case TVarType::Double:
    case TVarType::Date:
        return FDouble != 0.0;
    case TVarType::Currency:
        return FCurrency != 0;
    case TVarType::String: {
        std::string_view text = TrimBlanks(FString);
        if (EqualsIgnoreCase(text, "true"))
            return true;
        if (EqualsIgnoreCase(text, "false"))
            return false;
        double number = 0;
        if (TryStrToFloat(text, number))
            return number != 0.0;
        TextNotConvertible(FString, "Boolean");
    }
    default:
        ConversionFailed(FType, "Boolean");
    }
}

int Variant::AsInteger() const {
    switch (FType) {
    case TVarType::Empty:
        return 0;
    case TVarType::Boolean:
        return FBool ? -1 : 0;
    case TVarType::Integer:
        return FInt;
    case TVarType::Double:
    case TVarType::Date:
        return DoubleToInteger(FDouble, FType);
    case TVarType::Currency:
        return DoubleToInteger(static_cast<double>(FCurrency) / CurrencyScale, FType);
    case TVarType::String: {
        int value = 0;
        if (TryStrToInt(FString, value))
            return value;
        double number = 0;
        if (TryStrToFloat(FString, number))
            return DoubleToInteger(number, FType);
        TextNotConvertible(FString, "Integer");
    }
    default:
        ConversionFailed(FType, "Integer");
    }
}

double Variant::AsDouble() const {
    switch (FType) {
    case TVarType::Empty:
        return 0.0;
    case TVarType::Boolean:
        return FBool ? -1.0 : 0.0;
    case TVarType::Integer:
        return FInt;
    case TVarType::Double:
    case TVarType::Date:
        return FDouble;
    case TVarType::Currency:
        return static_cast<double>(FCurrency) / CurrencyScale;
    case TVarType::String: {
        double value = 0;
        if (TryStrToFloat(FString, value))
            return value;
        TextNotConvertible(FString, "Double");
    }
    default:
        ConversionFailed(FType, "Double");
    }
}

std::int64_t Variant::AsCurrencyUnits() const {
    if (FType == TVarType::Currency)
        return FCurrency;
    if (FType == TVarType::Integer)
        return static_cast<std::int64_t>(FInt) * 10000;
    return FromCurrency(AsDouble()).FCurrency;
}

double Variant::AsDateTime() const {
    if (FType == TVarType::String)
        TextNotConvertible(FString, "Date");
    return AsDouble();
}

std::string Variant::AsString() const {
    switch (FType) {
    case TVarType::Empty:
        return {};
    case TVarType::Boolean:
        return FBool ? "True" : "False";
    case TVarType::Integer:
        return std::to_string(FInt);
    case TVarType::Double:
        return FloatToStr(FDouble);
    case TVarType::Date:
        return DateTimeText(FDouble);
    case TVarType::Currency:
        return FloatToStr(static_cast<double>(FCurrency) / CurrencyScale);
    case TVarType::String:
        return FString;
    default:
        ConversionFailed(FType, "String");
    }
}

TScriptObject* Variant::AsObject() const {
    if (FType == TVarType::Object)
        return FObject;
    if (FType == TVarType::Empty)
        return nullptr;
    throw EInvalidCast("Invalid variant type conversion: " + std::string(TypeName(FType)) + " is no object");
}

int Variant::ArrayLength() const {
    if (FType != TVarType::Array)
        ConversionFailed(FType, "Array");
    return static_cast<int>(FArray->Items.size());
}

std::string_view Variant::TypeName(TVarType type) noexcept {
    switch (type) {
    case TVarType::Empty:
        return "Empty";
    case TVarType::Boolean:
        return "Boolean";
    case TVarType::Integer:
        return "Integer";
    case TVarType::Double:
        return "Double";
    case TVarType::Currency:
        return "Currency";
    case TVarType::Date:
        return "Date";
    case TVarType::String:
        return "String";
    case TVarType::Object:
        return "Object";
    case TVarType::Array:
        return "Array";
    }
    return "Unknown";
}

std::string FloatToStr(double value) {
    if (value == 0.0) // also the negative zero that -x and x * -1 give for a zero x: Pascal writes no sign
        return "0";
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string text(buffer);
    // C writes "1E+20" and "1.5E-05"; Delphi writes "1E20" and "1.5E-5".
    std::size_t e = text.find('E');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        bool negative = text[e + 1] == '-';
        std::string digits = text.substr(e + 2);
        while (digits.size() > 1 && digits.front() == '0')
            digits.erase(0, 1);
        text = mantissa + "E" + (negative ? "-" : "") + digits;
    }
    const std::string& separator = FormatSettings().DecimalSeparator;
    if (separator != ".") {
        std::size_t dot = text.find('.');
        if (dot != std::string::npos)
            text.replace(dot, 1, separator);
    }
    return text;
}

bool TryStrToInt(std::string_view text, int& value) {
    text = TrimBlanks(text);
    if (text.empty())
        return false;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    std::int64_t result = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        result = result * base + digit;
        if (result > std::int64_t{1} << 32)
            return false;
    }
    if (negative)
        result = -result;
    if (base == 16 && !negative && result <= 0xFFFFFFFFLL)
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(result));
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(result);
    return true;
}

bool TryStrToFloat(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 400)
        return false;
    std::string plain(text);
    const std::string& separator = FormatSettings().DecimalSeparator;
    if (separator != ".") {
        if (plain.find('.') != std::string::npos)
            return false;
        std::size_t at = plain.find(separator);
        if (at != std::string::npos)
            plain.replace(at, separator.size(), ".");
    }
    // Only plain decimal notation: no hexadecimal floats, no "inf" or "nan" words.
    for (char c : plain)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
            return false;
    char* end = nullptr;
    errno = 0;
    double result = std::strtod(plain.c_str(), &end);
    if (end != plain.c_str() + plain.size() || errno == ERANGE)
        return false;
    value = result;
    return true;
}

} // namespace kalmora
