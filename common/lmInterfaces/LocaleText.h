#pragma once

// Text comparison and case mapping by the user's locale (LANG / LC_*), never through the C library's global
// locale. Texts are UTF-8; bytes that are not valid UTF-8 compare by their value. Safe on any thread.

#include <string>
#include <string_view>

namespace kalmora {

// Three-way comparison by the locale's collation: negative, 0 or positive.
int AnsiCompareStr(std::string_view a, std::string_view b);
// The same without regard to letter case.
int AnsiCompareText(std::string_view a, std::string_view b);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

} // namespace kalmora
