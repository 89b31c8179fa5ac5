#include "ScriptFormat.h"

#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kalmora {
namespace {

constexpr int MaxSignificantDigits = 18;

// A float as decimal digits: value = 0.Digits * 10^PointAt, rounded half away from zero.
struct TDecimal {
    bool Negative = false;
    std::string Digits; // no leading zero unless the value is zero
    int PointAt = 1;    // digits before the decimal point
};

TDecimal ToDecimal(double value, int precision) {
    TDecimal d;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", MaxSignificantDigits - 1, static_cast<long double>(value));
    std::string_view s(buffer);
    d.Negative = s.front() == '-';
    if (d.Negative)
        s.remove_prefix(1);
    std::string digits(1, s[0]);
    digits += s.substr(2, MaxSignificantDigits - 1);
    int exponent = std::atoi(s.data() + s.find('e') + 1);
    const auto keep = static_cast<std::size_t>(precision);
    if (keep < digits.size()) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            std::size_t i = keep;
            while (i > 0 && digits[i - 1] == '9')
                digits[--i] = '0';
            if (i == 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[i - 1];
            }
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos) {
        d.Negative = false;
        d.Digits = std::string(keep, '0');
        d.PointAt = 1;
        return d;
    }
    d.Digits = digits;
    d.PointAt = exponent + 1;
    return d;
}

std::string NotFinite(double value) {
    return std::isnan(value) ? "NAN" : value > 0 ? "INF" : "-INF";
}

// "-d.dddE+ddd" with `precision` digits in all.
std::string Scientific(double value, int precision, const TFormatSettings& settings) {
    if (!std::isfinite(value))
        return NotFinite(value);
    const TDecimal d = ToDecimal(value, precision);
    std::string out = d.Negative ? "-" : "";
    out += d.Digits.substr(0, 1);
    if (d.Digits.size() > 1)
        out += settings.DecimalSeparator + d.Digits.substr(1);
    const int exponent = d.Digits.front() == '0' ? 0 : d.PointAt - 1;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + buffer;
}

// The shorter of fixed and scientific notation with at most `precision` significant digits.
std::string General(double value, int precision, const TFormatSettings& settings) {
    if (!std::isfinite(value))
        return NotFinite(value);
    TDecimal d = ToDecimal(value, precision);
    while (d.Digits.size() > 1 && d.Digits.back() == '0')
        d.Digits.pop_back();
    if (d.Digits == "0")
        return "0";
    std::string out = d.Negative ? "-" : "";
    if (d.PointAt > precision || d.PointAt < -3) {
        out += d.Digits.substr(0, 1);
        if (d.Digits.size() > 1)
            out += settings.DecimalSeparator + d.Digits.substr(1);
        return out + "E" + std::to_string(d.PointAt - 1);
    }
    if (d.PointAt <= 0)
        return out + "0" + settings.DecimalSeparator +
               std::string(static_cast<std::size_t>(-d.PointAt), '0') + d.Digits;
    const auto whole = static_cast<std::size_t>(d.PointAt);
    if (d.Digits.size() <= whole)
        return out + d.Digits + std::string(whole - d.Digits.size(), '0');
    return out + d.Digits.substr(0, whole) + settings.DecimalSeparator + d.Digits.substr(whole);
}

// Fixed point with `decimals` decimals, optionally with thousands separators.
std::string Fixed(double value, int decimals, bool grouped, const TFormatSettings& settings) {
    std::string text = FormatFixed(value, decimals, ".");
    if (text.find_first_of("EN") != std::string::npos) { // scientific beyond 10^18, NAN, INF
        if (std::size_t point = text.find('.'); point != std::string::npos)
            text.replace(point, 1, settings.DecimalSeparator);
        return text;
    }
    std::size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (grouped && !settings.ThousandSeparator.empty()) {
        const std::size_t first = whole.front() == '-' ? 1 : 0;
        for (std::size_t i = whole.size(); i > first + 3; i -= 3)
            whole.insert(i - 3, settings.ThousandSeparator);
    }
    return fraction.empty() ? whole : whole + settings.DecimalSeparator + fraction;
}

std::string Money(double value, int decimals, const TFormatSettings& settings) {
    std::string amount = Fixed(std::fabs(value), decimals, true, settings);
    const std::string& symbol = settings.CurrencyString;
    const std::string gap = settings.CurrencySpaced && !symbol.empty() ? " " : "";
    std::string out = settings.CurrencyBefore ? symbol + gap + amount : amount + gap + symbol;
    const bool negative = value < 0 && amount.find_first_of("123456789") != std::string::npos;
    return negative ? "-" + out : out;
}

std::string Digits(std::uint64_t magnitude, bool negative, int precision, int base) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, base == 16 ? "%llX" : "%llu",
                  static_cast<unsigned long long>(magnitude));
    std::string text = buffer;
    if (precision > static_cast<int>(text.size()))
        text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
    return negative ? "-" + text : text;
}

class TFormatter {
public:
    TFormatter(std::string_view format, const std::vector<Variant>& args, const TFormatSettings& settings)
        : FFormat(format), FArgs(args), FSettings(settings) {}

    std::string Run() {
        std::string out;
        std::size_t i = 0;
        while (i < FFormat.size()) {
            const std::size_t percent = FFormat.find('%', i);
            out +=
                FFormat.substr(i, percent == std::string_view::npos ? std::string_view::npos : percent - i);
            if (percent == std::string_view::npos)
                break;
            FSpecStart = percent;
            i = percent + 1;
            if (i < FFormat.size() && FFormat[i] == '%') {
                out += '%';
                ++i;
                continue;
            }
            out += Specifier(i);
            // Widths are bounded one by one; this bounds what many of them add up to.
            if (out.size() > MaxFormatResult)
                throw EConvertError("Format result longer than " + std::to_string(MaxFormatResult) +
                                    " bytes");
        }
        return out;
    }

private:
    [[noreturn]] void Invalid(std::size_t end) const {
        throw EConvertError("Format '" + std::string(FFormat.substr(FSpecStart, end - FSpecStart)) +
                            "' invalid or incompatible with argument");
    }

    const Variant& NextArg(std::size_t end) {
        if (FNext >= FArgs.size())
            throw EConvertError("No argument for format '" +
                                std::string(FFormat.substr(FSpecStart, end - FSpecStart)) + "'");
        return FArgs[FNext++];
    }

    // Decimal digits or "*" (the next argument, which may be negative); none when neither is there.
    std::optional<int> Number(std::size_t& i) {
        if (i < FFormat.size() && FFormat[i] == '*') {
            ++i;
            const Variant& arg = NextArg(i);
            if (arg.Type() != TVarType::Integer)
                Invalid(i);
            return arg.IntValue();
        }
        if (i >= FFormat.size() || FFormat[i] < '0' || FFormat[i] > '9')
            return std::nullopt;
        int value = 0;
        while (i < FFormat.size() && FFormat[i] >= '0' && FFormat[i] <= '9') {
            value = value * 10 + (FFormat[i++] - '0');
            if (value > MaxFormatWidth)
                Invalid(i);
        }
        return value;
    }

    std::string Specifier(std::size_t& i) {
        std::optional<int> number = Number(i);
        if (number && i < FFormat.size() && FFormat[i] == ':') {
            FNext = static_cast<std::size_t>(std::max(*number, 0));
            ++i;
            number.reset();
        }
        bool left = false;
        if (!number) {
            if (i < FFormat.size() && FFormat[i] == '-') {
                left = true;
                ++i;
            }
            number = Number(i);
        }
        int width = 0;
        if (number) {
            if (*number < -MaxFormatWidth || *number > MaxFormatWidth)
                Invalid(i);
            // A width taken from "*" may be negative: left alignment, as C has it.
            left = left || *number < 0;
            width = std::abs(*number);
        }
        int precision = -1;
        if (i < FFormat.size() && FFormat[i] == '.') {
            ++i;
            precision = std::max(Number(i).value_or(0), 0);
            if (precision > MaxFormatWidth)
                Invalid(i);
        }
        if (i >= FFormat.size())
            Invalid(i);
        const char letter = static_cast<char>(FFormat[i] | 0x20);
        ++i;
        std::string text = Convert(letter, precision, i);
        if (width > static_cast<int>(text.size())) {
            const std::string pad(static_cast<std::size_t>(width) - text.size(), ' ');
            text = left ? text + pad : pad + text;
        }
        return text;
    }

    std::string Convert(char letter, int precision, std::size_t end) {
        if (letter == 'd' || letter == 'u' || letter == 'x') {
            const Variant& arg = NextArg(end);
            if (arg.Type() != TVarType::Integer)
                Invalid(end);
            const std::int32_t value = arg.IntValue();
            if (letter == 'd')
                return Digits(static_cast<std::uint64_t>(std::llabs(value)), value < 0, precision, 10);
            return Digits(static_cast<std::uint32_t>(value), false, precision, letter == 'x' ? 16 : 10);
        }
        if (letter == 'e' || letter == 'f' || letter == 'g' || letter == 'n' || letter == 'm') {
            const Variant& arg = NextArg(end);
            if (arg.Type() != TVarType::Double && arg.Type() != TVarType::Currency &&
                arg.Type() != TVarType::Date)
                Invalid(end);
            const double value = arg.AsDouble();
            switch (letter) {
            case 'e':
                return Scientific(value, std::clamp(precision < 0 ? 15 : precision, 1, MaxSignificantDigits),
                                  FSettings);
            case 'g':
                return General(value, std::clamp(precision < 0 ? 15 : precision, 1, MaxSignificantDigits),
                               FSettings);
            case 'm':
                return Money(value, precision < 0 ? FSettings.CurrencyDecimals : precision, FSettings);
            default:
                return Fixed(value, precision < 0 ? 2 : precision, letter == 'n', FSettings);
            }
        }
        if (letter == 's') {
            const Variant& arg = NextArg(end);
            if (arg.Type() != TVarType::String && arg.Type() != TVarType::Empty)
                Invalid(end);
            std::string text = arg.AsString();
            if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
                text.resize(static_cast<std::size_t>(precision));
            return text;
        }
        if (letter == 'p') {
            const Variant& arg = NextArg(end);
            if (arg.Type() != TVarType::Object && arg.Type() != TVarType::Empty)
                Invalid(end);
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                          static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(arg.AsObject())));
            return buffer;
        }
        Invalid(end);
    }

    std::string_view FFormat;
    const std::vector<Variant>& FArgs;
    const TFormatSettings& FSettings;
    std::size_t FNext = 0;
    std::size_t FSpecStart = 0;
};

} // namespace

std::string FormatValues(std::string_view format, const std::vector<Variant>& args,
                         const TFormatSettings& settings) {
    return TFormatter(format, args, settings).Run();
}

} // namespace kalmora
