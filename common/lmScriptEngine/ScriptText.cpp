#include "ScriptText.h"

#include "runtime/Exceptions.h"

#include <cmath>
#include <limits>

namespace kalmora {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Bytes of the UTF-8 character at `i`; 1 for a byte that does not start a well-formed sequence.
std::size_t CharacterLength(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
    if (c >= 0xF5 || i + length > s.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k) {
        if (!IsContinuationByte(s[i + k]))
            return 1;
    }
    return length;
}

// The low 32 bits of a whole number that fits into 64 bits; beyond that EOverflow.
std::int32_t Low32(double whole) {
    if (std::isnan(whole) || std::isinf(whole))
        throw EInvalidOp("Invalid floating point operation");
    if (whole >= 9223372036854775808.0 || whole < -9223372036854775808.0)
        throw EOverflow("Floating point overflow");
    auto wide = static_cast<std::int64_t>(whole);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

} // namespace

std::string QuotedStr(std::string_view s, std::string_view quote) {
    if (quote.empty())
        return std::string(s);
    char q = quote.front();
    std::string out(1, q);
    for (char c : s) {
        out += c;
        if (c == q)
            out += q;
    }
    out += q;
    return out;
}

std::string ExtractQuotedStr(std::string& s, std::string_view quote) {
    if (quote.empty() || s.empty() || s.front() != quote.front())
        return {};
    char q = quote.front();
    std::string out;
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
        if (s[i] != q) {
            out += s[i];
            continue;
        }
        if (i + 1 < s.size() && s[i + 1] == q) {
            out += q;
            ++i;
            continue;
        }
        s.erase(0, i + 1);
        return out;
    }
    s.clear();
    return out;
}

std::string ScriptCopy(std::string_view s, std::int32_t index, std::int32_t count) {
    std::int64_t start = index < 1 ? 1 : index;
    if (start > static_cast<std::int64_t>(s.size()) || count <= 0)
        return {};
    return std::string(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

void ScriptDelete(std::string& s, std::int32_t index, std::int32_t count) {
    if (index < 1 || index > static_cast<std::int64_t>(s.size()) || count <= 0)
        return;
    s.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

void ScriptInsert(std::string_view source, std::string& s, std::int32_t index) {
    std::int64_t at = index < 1 ? 1 : index;
    if (at > static_cast<std::int64_t>(s.size()) + 1)
        at = static_cast<std::int64_t>(s.size()) + 1;
    s.insert(static_cast<std::size_t>(at - 1), source);
}

std::int32_t ScriptPos(std::string_view sub, std::string_view s) {
    if (sub.empty())
        return 0;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, sub.size(), sub) == 0)
            return static_cast<std::int32_t>(i + 1);
        i += CharacterLength(s, i);
    }
    return 0;
}

std::int32_t StrToInt(std::string_view s) {
    std::int32_t value = 0;
    if (!TryStrToInt(s, value))
        throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return value;
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t fallback) {
    std::int32_t value = 0;
    return TryStrToInt(s, value) ? value : fallback;
}

double StrToFloat(std::string_view s) {
    double value = 0;
    if (!TryStrToFloat(s, value))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return value;
}

std::int32_t RoundToInt32(double value) {
    return Low32(std::nearbyint(value));
}

std::int32_t TruncToInt32(double value) {
    return Low32(std::trunc(value));
}

} // namespace kalmora
