#include "TextHelpers.h"

#include "InternalError.h"
#include "runtime/FormatSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <uuid/uuid.h>

namespace kalmora {
namespace {

constexpr std::string_view Unit = "UtilBox";
constexpr int FixedPrecision = 18;

bool IsBlankOrControl(unsigned char c) {
    return c <= ' ';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return;
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

// Scientific notation as the general number format writes it: mantissa without trailing zeros, "E", exponent.
std::string FormatScientific(bool negative, const std::string& mantissa, int exponent) {
    std::string digits = mantissa;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    out += digits[0];
    if (digits.size() > 1)
        out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
    return out;
}

} // namespace

int PosFrom(int from, std::string_view text, std::string_view sub) {
    Assert(from >= 1, Unit);
    if (sub.empty() || static_cast<std::size_t>(from) > text.size())
        return 0;
    auto pos = text.find(sub, static_cast<std::size_t>(from - 1));
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string GetToken(std::string_view text, std::string_view delimiter, int index) {
    Assert(index >= 0, Unit);
    if (index == 0)
        return {};
    int start = 1;
    for (int field = 1;; ++field) {
        int found = PosFrom(start, text, delimiter);
        if (field == index) {
            auto end = found == 0 ? text.size() : static_cast<std::size_t>(found - 1);
            auto begin = std::min(static_cast<std::size_t>(start - 1), text.size());
            return std::string(text.substr(begin, end - begin));
        }
        if (found == 0)
            return {};
        start = found + static_cast<int>(delimiter.size());
    }
}

std::string JoinNonEmpty(std::string_view first, std::string_view second, std::string_view separator) {
    if (second.empty())
        return std::string(first);
    if (first.empty())
        return std::string(second);
    return std::string(first) + std::string(separator) + std::string(second);
}

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlankOrControl(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && IsBlankOrControl(static_cast<unsigned char>(text[e - 1])))
        --e;
    return std::string(text.substr(b, e - b));
}

std::string TrimLeadingChars(std::string_view text, std::string_view chars) {
    std::string result(text);
    for (char& c : result) {
        if (chars.find(c) == std::string_view::npos)
            break;
        c = ' ';
    }
    return Trim(result);
}

std::string LeftChars(std::string_view text, int count) {
    if (count <= 0)
        return {};
    return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string RightChars(std::string_view text, int count) {
    if (count <= 0)
        return {};
    if (static_cast<std::size_t>(count) >= text.size())
        return std::string(text);
    return std::string(text.substr(text.size() - static_cast<std::size_t>(count)));
}

bool RemovePrefix(std::string& text, std::string_view prefix, bool caseSensitive) {
    if (prefix.size() > text.size())
        return false;
    std::string_view head(text.data(), prefix.size());
    if (caseSensitive ? head != prefix : !SameText(head, prefix))
        return false;
    text.erase(0, prefix.size());
    return true;
}

bool RemoveSuffix(std::string& text, std::string_view suffix) {
    if (suffix.size() > text.size() || std::string_view(text).substr(text.size() - suffix.size()) != suffix)
        return false;
    text.resize(text.size() - suffix.size());
    return true;
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string LowerCaseAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string UpperCaseAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

std::string GuidToText(const TGUID& g, bool plain) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2,
                  g.D3, g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
    return plain ? PlainGuidText(buffer) : std::string(buffer);
}

std::string NewGuidText(bool plain) {
    uuid_t raw;
    uuid_generate_random(raw);
    if (uuid_is_null(raw))
        throw EInternalError("Cannot create GUID.");
    TGUID g;
    g.D1 =
        (std::uint32_t(raw[0]) << 24) | (std::uint32_t(raw[1]) << 16) | (std::uint32_t(raw[2]) << 8) | raw[3];
    g.D2 = static_cast<std::uint16_t>((raw[4] << 8) | raw[5]);
    g.D3 = static_cast<std::uint16_t>((raw[6] << 8) | raw[7]);
    std::copy(raw + 8, raw + 16, g.D4.begin());
    return GuidToText(g, plain);
}

std::string PlainGuidText(std::string_view text) {
    std::string out = LowerCaseAscii(text);
    if (!out.empty() && out.front() == '{')
        out.erase(0, 1);
    if (!out.empty() && out.back() == '}')
        out.pop_back();
    return out;
}

std::string FormatFixed(long double value, int digits, std::string_view separator) {
    digits = std::clamp(digits, 0, FixedPrecision);
    std::string text;
    if (std::isnan(value)) {
        text = "NAN";
    } else if (std::isinf(value)) {
        text = value < 0 ? "-INF" : "INF";
    } else {
        // The 18 significant digits and the decimal exponent, from the C library's correctly rounded output.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*Le", FixedPrecision - 1, value);
        std::string_view s(buffer);
        bool negative = s.front() == '-';
        if (negative)
            s.remove_prefix(1);
        std::string mantissa;
        mantissa += s[0];
        mantissa += std::string(s.substr(2, FixedPrecision - 1));
        int exponent = std::atoi(s.substr(s.find('e') + 1).data());
        if (exponent >= FixedPrecision) {
            text = FormatScientific(negative, mantissa, exponent);
            ReplaceAll(text, ".", FormatSettings().DecimalSeparator);
        } else {
            // The value times 10^digits as a decimal integer, rounded half away from zero.
            int shift = exponent - (FixedPrecision - 1) + digits;
            std::string scaled;
            if (shift >= 0) {
                scaled = mantissa + std::string(static_cast<std::size_t>(shift), '0');
            } else if (-shift <= FixedPrecision) {
                std::size_t keep = mantissa.size() - static_cast<std::size_t>(-shift);
                scaled = mantissa.substr(0, keep);
                if (mantissa[keep] >= '5') {
                    int i = static_cast<int>(scaled.size()) - 1;
                    for (; i >= 0 && scaled[i] == '9'; --i)
                        scaled[i] = '0';
                    if (i < 0)
                        scaled.insert(scaled.begin(), '1');
                    else
                        ++scaled[i];
                }
            }
            scaled.erase(0, std::min(scaled.find_first_not_of('0'), scaled.size()));
            if (scaled.size() < static_cast<std::size_t>(digits) + 1)
                scaled.insert(0, static_cast<std::size_t>(digits) + 1 - scaled.size(), '0');
            bool zero = scaled.find_first_not_of('0') == std::string::npos;
            text = (negative && !zero) ? "-" : "";
            text += scaled.substr(0, scaled.size() - static_cast<std::size_t>(digits));
            if (digits > 0)
                text += FormatSettings().DecimalSeparator +
                        scaled.substr(scaled.size() - static_cast<std::size_t>(digits));
        }
    }
    ReplaceAll(text, FormatSettings().DecimalSeparator, separator);
    return text;
}

} // namespace kalmora
