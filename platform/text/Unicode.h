#pragma once

// The one UTF-8 encoder and UTF-16 decoder of the tree: archive names, hive files and whatever else meets
// Unicode text from outside.

#include <string>
#include <string_view>

namespace kalmora::text {

// The replacement character that stands for a unit that cannot be decoded.
inline constexpr char32_t ReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of the code point `cp` (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// UTF-16LE bytes to UTF-8. `out` always receives the whole text, with U+FFFD for every unpaired surrogate and
// for an odd byte at the end; the result is false when there was any such fault, for callers that must
// refuse text that is not well-formed.
bool Utf16LeToUtf8(std::string_view bytes, std::string& out);

// UTF-8 to UTF-16LE bytes. `out` always receives the whole text, with U+FFFD for every byte that does not
// belong to a well-formed sequence; the result is false when there was any such byte.
bool Utf8ToUtf16Le(std::string_view text, std::string& out);

// 8-bit text in the Windows "ANSI" code page of Western Europe (Windows-1252) to UTF-8. The five bytes that
// code page leaves undefined become the C1 controls of the same number, as Windows itself maps them.
std::string Windows1252ToUtf8(std::string_view bytes);

} // namespace kalmora::text
