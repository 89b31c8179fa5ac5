#pragma once

// Small text functions. Texts are byte strings (UTF-8 here); positions count from 1, as everywhere in the
// system. All are free of shared state and safe on any thread.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalmora {

// The index-th field (from 1) of `text` split at `delimiter`; empty for index 0 or past the last field.
// A negative index is an assertion failure.
std::string GetToken(std::string_view text, std::string_view delimiter, int index);

// Position (from 1) of the first `sub` that starts at or after `from`; 0 when none. `from` < 1 asserts.
int PosFrom(int from, std::string_view text, std::string_view sub);

std::string JoinNonEmpty(std::string_view first, std::string_view second, std::string_view separator);

// Blanks out the leading characters that occur in `chars`, then trims blanks and control characters.
std::string TrimLeadingChars(std::string_view text, std::string_view chars);

std::string LeftChars(std::string_view text, int count);
std::string RightChars(std::string_view text, int count);

bool RemovePrefix(std::string& text, std::string_view prefix, bool caseSensitive);
bool RemoveSuffix(std::string& text, std::string_view suffix);

// ASCII letters compared without regard to case (names of threads, registry keys and values).
bool SameText(std::string_view a, std::string_view b) noexcept;
std::string LowerCaseAscii(std::string_view text);
std::string UpperCaseAscii(std::string_view text);
// Every character of code 32 or less off both ends.
std::string Trim(std::string_view text);

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::array<std::uint8_t, 8> D4{};
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, or the plain lower-case form without braces.
std::string GuidToText(const TGUID& guid, bool plain);
// A new random GUID as text; raises EInternalError "Cannot create GUID." when none can be made.
std::string NewGuidText(bool plain);
std::string PlainGuidText(std::string_view text);

// Fixed-point with `digits` decimals and 18 significant digits (1e18 and more in scientific notation); the
// locale's decimal separator is then replaced by `separator`.
std::string FormatFixed(long double value, int digits, std::string_view separator);

template <class T> T ChooseValue(bool condition, const T& whenTrue, const T& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

} // namespace kalmora
