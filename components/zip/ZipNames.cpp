#include "ZipNames.h"

#include "runtime/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <zlib.h>

namespace kalmora {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string AsString(std::span<const uint8_t> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::optional<std::string> FromUnicodePathField(std::span<const uint8_t> name,
                                                std::span<const uint8_t> extra) {
    auto field = FindExtraField(extra, UnicodePathExtraFieldId);
    if (!field || field->size() <= 5)
        return std::nullopt;
    TLittleEndianReader in(*field);
    if (in.U8() != 1)
        return std::nullopt;
    uint32_t nameCrc = in.U32();
    if (nameCrc != crc32(0, name.data(), static_cast<uInt>(name.size())))
        return std::nullopt;
    return AsString(field->subspan(5));
}

std::optional<std::string> FromXceedField(std::span<const uint8_t> extra) {
    auto field = FindExtraField(extra, XceedUnicodeExtraFieldId);
    if (!field || field->size() < 8)
        return std::nullopt;
    if (!std::equal(field->begin(), field->begin() + 4, "NUCX"))
        return std::nullopt;
    TLittleEndianReader in(field->subspan(4));
    size_t count = in.U16();
    if (field->size() != 8 + 2 * count)
        return std::nullopt;
    return Utf16LeToUtf8(field->subspan(8, 2 * count));
}

} // namespace

bool HasHighBytes(std::span<const uint8_t> bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b >= 0x80; });
}

bool IsWellFormedUtf8(std::span<const uint8_t> bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        uint8_t lead = bytes[i++];
        size_t follow;
        if (lead < 0x80)
            follow = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            follow = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            follow = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            follow = 3;
        else
            return false;
        for (; follow > 0; --follow, ++i)
            if (i >= bytes.size() || (bytes[i] & 0xC0) != 0x80)
                return false;
    }
    return true;
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = bytes[i] | bytes[i + 1] << 8;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            uint32_t low = bytes[i + 2] | bytes[i + 3] << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return out;
}

TZipNameDecoder::TZipNameDecoder(std::string_view oemCodePage) {
    FConverter = iconv_open("UTF-8", std::string(oemCodePage).c_str());
    if (FConverter == reinterpret_cast<iconv_t>(-1))
        throw EConvertError("Unknown code page for archive names: " + std::string(oemCodePage));
}

TZipNameDecoder::~TZipNameDecoder() {
    iconv_close(FConverter);
}

std::string TZipNameDecoder::FromOemCodePage(std::span<const uint8_t> bytes) {
    iconv(FConverter, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    // A legacy code page byte becomes at most three UTF-8 bytes.
    std::string buffer(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(FConverter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // A byte the code page does not define: keep the name readable and go on.
            AppendUtf8(out, 0xFFFD);
            ++in;
            --inLeft;
        }
    }
    return out;
}

std::string TZipNameDecoder::Decode(const CentralDirectoryFileHeader& header, std::span<const uint8_t> name,
                                    std::span<const uint8_t> extra) {
    std::string result;
    bool highBytes = HasHighBytes(name);
    if (HasFlag(header.generalPurposeBitFlag, TZipFlag::LanguageEncoding) ||
        (highBytes && IsWellFormedUtf8(name))) {
        result = AsString(name);
    } else if (auto unicodePath = FromUnicodePathField(name, extra)) {
        result = std::move(*unicodePath);
    } else if (auto xceed = FromXceedField(extra)) {
        result = std::move(*xceed);
    } else if (highBytes) {
        // Names that are not UTF-8 come from a legacy code page, whatever host wrote them; taken as they are
        // they would be invalid file names here.
        result = FromOemCodePage(name);
    } else {
        result = AsString(name);
    }
    if (static_cast<TZipHost>(header.versionMadeBy >> 8) == TZipHost::MsDos)
        std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

} // namespace kalmora
