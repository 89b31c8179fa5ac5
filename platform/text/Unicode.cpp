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

} // namespace kalmora::text
