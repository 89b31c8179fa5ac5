#pragma once

// Decoding of stored entry names to UTF-8 with "/" as the only separator.

#include "zip/ZipRecords.h"

#include <iconv.h>
#include <span>
#include <string>
#include <string_view>

namespace kalmora {

inline constexpr std::string_view DefaultOemCodePage = "IBM437";

// True when the bytes are UTF-8 by the lead-byte rules (C2-DF, E0-EF, F0-F4 each with its continuation
// bytes).
bool IsWellFormedUtf8(std::span<const uint8_t> bytes);
bool HasHighBytes(std::span<const uint8_t> bytes);

class TZipNameDecoder {
public:
    // Throws EConvertError when iconv does not know the code page.
    explicit TZipNameDecoder(std::string_view oemCodePage = DefaultOemCodePage);
    ~TZipNameDecoder();
    TZipNameDecoder(const TZipNameDecoder&) = delete;
    TZipNameDecoder& operator=(const TZipNameDecoder&) = delete;

    // The name in order of preference: UTF-8 (flag bit 11 or well-formed high bytes), the Info-ZIP Unicode
    // Path field, the Xceed UTF-16 field, else the legacy code page. MS-DOS entries also get "\" as "/".
    std::string Decode(const CentralDirectoryFileHeader& header, std::span<const uint8_t> name,
                       std::span<const uint8_t> extra);

    std::string FromOemCodePage(std::span<const uint8_t> bytes);

private:
    iconv_t FConverter;
};

} // namespace kalmora
