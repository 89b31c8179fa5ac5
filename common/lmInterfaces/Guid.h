#pragma once

// Interface identities written as in their declarations, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", and turned
// into a TGUID at compile time.

#include "UtilBox/TextHelpers.h"

#include <string_view>

namespace kalmora {

namespace guid_detail {
consteval std::uint32_t HexDigits(std::string_view text, std::size_t pos, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        char c = text[i];
        std::uint32_t digit = c >= '0' && c <= '9'   ? static_cast<std::uint32_t>(c - '0')
                              : c >= 'A' && c <= 'F' ? static_cast<std::uint32_t>(c - 'A' + 10)
                              : c >= 'a' && c <= 'f' ? static_cast<std::uint32_t>(c - 'a' + 10)
                                                     : throw "not a hexadecimal digit";
        value = value * 16 + digit;
    }
    return value;
}
} // namespace guid_detail

consteval TGUID GuidOf(std::string_view text) {
    if (text.size() != 38 || text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' ||
        text[24] != '-' || text[37] != '}')
        throw "not a braced GUID";
    using guid_detail::HexDigits;
    TGUID g;
    g.D1 = HexDigits(text, 1, 8);
    g.D2 = static_cast<std::uint16_t>(HexDigits(text, 10, 4));
    g.D3 = static_cast<std::uint16_t>(HexDigits(text, 15, 4));
    g.D4[0] = static_cast<std::uint8_t>(HexDigits(text, 20, 2));
    g.D4[1] = static_cast<std::uint8_t>(HexDigits(text, 22, 2));
    for (std::size_t i = 0; i < 6; ++i)
        g.D4[2 + i] = static_cast<std::uint8_t>(HexDigits(text, 25 + 2 * i, 2));
    return g;
}

constexpr bool SameGuid(const TGUID& a, const TGUID& b) noexcept {
    return a.D1 == b.D1 && a.D2 == b.D2 && a.D3 == b.D3 && a.D4 == b.D4;
}

} // namespace kalmora
