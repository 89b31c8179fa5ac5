#include "ZipNames.h"

#include "runtime/Exceptions.h"
#include "text/Unicode.h"

#include <algorithm>
#include <cerrno>
#include <zlib.h>

namespace kalmora {

namespace {

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
    std::string decoded;
    text::Utf16LeToUtf8(AsString(field->subspan(8, 2 * count)), decoded); // broken units stand as U+FFFD
    return decoded;
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
            text::AppendUtf8(out, text::ReplacementCharacter);
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
