#include "LocaleText.h"

#include "text/Unicode.h"

#include <cwctype>
#include <langinfo.h>
#include <locale.h>
#include <wchar.h>

namespace kalmora {
namespace {

// Invalid bytes become these code points (as Python's surrogateescape does), so they survive a round trip.
constexpr wchar_t EscapeBase = 0xDC00;

locale_t MakeUserLocale() {
    locale_t loc = newlocale(LC_ALL_MASK, "", nullptr);
    if (loc) {
        // Case mapping needs a UTF-8 character set; a plain "C" user locale gets the UTF-8 variant of it.
        std::string_view codeset = nl_langinfo_l(CODESET, loc);
        if (codeset == "UTF-8")
            return loc;
        freelocale(loc);
    }
    loc = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    return loc ? loc : newlocale(LC_ALL_MASK, "C", nullptr);
}

locale_t UserLocale() {
    // Lives for the whole process: comparisons may still run in the last static destructors.
    static const locale_t loc = MakeUserLocale();
    return loc;
}

std::wstring Decode(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        char32_t code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallest[extra] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            out += static_cast<wchar_t>(EscapeBase + c);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string Encode(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto code = static_cast<char32_t>(w);
        if (code >= EscapeBase + 0x80 && code <= EscapeBase + 0xFF)
            out += static_cast<char>(code - EscapeBase);
        else
            text::AppendUtf8(out, code);
    }
    return out;
}

std::wstring Lowered(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), UserLocale()));
    return text;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

int Collate(const std::wstring& a, const std::wstring& b) {
    // Collation works on NUL-terminated texts: compare piece by piece between embedded NULs.
    std::size_t pa = 0;
    std::size_t pb = 0;
    for (;;) {
        int r = wcscoll_l(a.c_str() + pa, b.c_str() + pb, UserLocale());
        if (r != 0)
            return r;
        pa = a.find(L'\0', pa);
        pb = b.find(L'\0', pb);
        if (pa == std::wstring::npos || pb == std::wstring::npos)
            return (pa == std::wstring::npos ? 0 : 1) - (pb == std::wstring::npos ? 0 : 1);
        ++pa;
        ++pb;
    }
}

} // namespace

int AnsiCompareStr(std::string_view a, std::string_view b) {
    return Collate(Decode(a), Decode(b));
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && IsAscii(a) && IsAscii(b)) {
        // The common case of names: equal texts need no collation.
        bool same = true;
        for (std::size_t i = 0; same && i < a.size(); ++i)
            same = LowerAscii(a[i]) == LowerAscii(b[i]);
        if (same)
            return 0;
    }
    return Collate(Lowered(Decode(a)), Lowered(Decode(b)));
}

std::string AnsiUpperCase(std::string_view text) {
    std::wstring wide = Decode(text);
    for (auto& c : wide)
        c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), UserLocale()));
    return Encode(wide);
}

std::string AnsiLowerCase(std::string_view text) {
    return Encode(Lowered(Decode(text)));
}

} // namespace kalmora
