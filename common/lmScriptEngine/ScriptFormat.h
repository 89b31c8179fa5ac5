#pragma once

// "Format" of the script vocabulary: Delphi's format strings over script values.
//
//   "%" [index ":"] ["-"] [width] ["." precision] letter
//
// Index, width and precision are decimal or "*" (taken from the next argument, which must be an integer).
// An index sets the position of the next argument; later specifiers go on from there. Letters, in either
// case: d u x (integer arguments; the precision is the least number of digits), e f g n m (float, currency
// or date-time arguments), s (text; the precision is the most characters), p (an object reference or nil).
// "%%" is a percent sign. Numbers use the settings' decimal and thousands separators and currency format.
// A missing argument, an argument of the wrong kind, an unknown letter or a width or precision beyond
// MaxFormatWidth raise EConvertError naming the specifier. A result beyond MaxFormatResult bytes is an
// EConvertError too.

#include "interpreter/Variant.h"
#include "runtime/FormatSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace kalmora {

inline constexpr int MaxFormatWidth = 1 << 16;
inline constexpr std::size_t MaxFormatResult = std::size_t{16} << 20;

std::string FormatValues(std::string_view format, const std::vector<Variant>& args,
                         const TFormatSettings& settings = FormatSettings());

} // namespace kalmora
