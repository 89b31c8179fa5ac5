#pragma once

// The text and number functions of the script vocabulary, on plain values. Positions count from 1; texts are
// byte strings. Conversions that fail raise EConvertError. FloatToStr, TryStrToInt and TryStrToFloat are the
// interpreter's own (interpreter/Variant.h), so that a script sees one number format everywhere.

#include "interpreter/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kalmora {

// S in the first character of `quote`, each occurrence of it doubled.
std::string QuotedStr(std::string_view s, std::string_view quote);
// The quoted part at the start of `s` with doubled quotes reduced; `s` keeps what follows the closing quote
// (nothing when it is missing). Empty and `s` untouched when `s` does not start with the quote.
std::string ExtractQuotedStr(std::string& s, std::string_view quote);

std::string ScriptCopy(std::string_view s, std::int32_t index, std::int32_t count);
void ScriptDelete(std::string& s, std::int32_t index, std::int32_t count);
void ScriptInsert(std::string_view source, std::string& s, std::int32_t index);
// 1-based position of the first `sub` in `s` starting on a character boundary; 0 when none.
std::int32_t ScriptPos(std::string_view sub, std::string_view s);

std::int32_t StrToInt(std::string_view s);
std::int32_t StrToIntDef(std::string_view s, std::int32_t fallback);
double StrToFloat(std::string_view s);

// Halves to the even neighbour; the low 32 bits of the result. NaN and infinities raise EInvalidOp.
std::int32_t RoundToInt32(double value);
std::int32_t TruncToInt32(double value);

} // namespace kalmora
