#include "Unicode.h"

namespace kalmora::text {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool Utf16LeToUtf8(std::string_view bytes, std::string& out) {
    out.clear();
    bool wellFormed = true;
    auto unit = [&](size_t i) -> char32_t {
        return static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = ReplacementCharacter;
            wellFormed = false;
        }
        AppendUtf8(out, cp);
    }
    if (i < bytes.size()) {
        AppendUtf8(out, ReplacementCharacter);
        wellFormed = false;
    }
    return wellFormed;
}

bool Utf8ToUtf16Le(std::string_view text, std::string& out) {
    out.clear();
    bool wellFormed = true;
    auto appendUnit = [&](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        char32_t cp = length == 1   ? lead
                      : length == 2 ? lead & 0x1F
                      : length == 3 ? lead & 0x0F
                                    : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        valid = valid && !(length == 3 && cp < 0x800) && !(length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
                !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!valid) {
            appendUnit(ReplacementCharacter);
            wellFormed = false;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            appendUnit(0xD800 + ((cp - 0x10000) >> 10));
            appendUnit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            appendUnit(cp);
        }
        i += length;
    }
    return wellFormed;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    static constexpr char16_t High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : byte);
    }
    return out;
}

} // namespace kalmora::text
