#pragma once

// The numbers PKWARE's APPNOTE assigns: compression methods, the bits of the general purpose bit flag and
// the host systems of "version made by". Fields read from an archive keep every value, known or not.

#include <cstdint>
#include <string>
#include <string_view>

namespace kalmora {

enum class TZipMethod : uint16_t {
    Stored = 0,
    Shrunk = 1,
    Reduced1 = 2, // reduced with compression factor 1 to 4
    Reduced2 = 3,
    Reduced3 = 4,
    Reduced4 = 5,
    Imploded = 6,
    Tokenized = 7,
    Deflated = 8,
    Deflate64 = 9, // "enhanced deflating"
    DclImploded = 10,
    Bzip2 = 12,
    Lzma = 14,
    Cmpsc = 16,
    Terse = 18,
    Lz77z = 19,
    ZstdDeprecated = 20,
    Zstd = 93,
    Mp3 = 94,
    Xz = 95,
    Jpeg = 96,
    WavPack = 97,
    Ppmd = 98,
    Aes = 99, // the marker of WinZip AES encryption, not a method of its own
};

// The method's APPNOTE name ("stored", "deflated", ...), or its number for one APPNOTE does not name.
std::string ZipMethodName(TZipMethod method);

enum class TZipFlag : uint16_t {
    Encrypted = 1 << 0,
    // Bits 1 and 2 mean something different for each method.
    Implode8kDictionary = 1 << 1,
    Implode3Trees = 1 << 2,
    DeflateOption1 = 1 << 1,
    DeflateOption2 = 1 << 2,
    LzmaEndMarker = 1 << 1,
    DataDescriptor = 1 << 3, // CRC and sizes follow the data; the local header holds zeros
    EnhancedDeflate = 1 << 4,
    PatchedData = 1 << 5,
    StrongEncryption = 1 << 6,
    LanguageEncoding = 1 << 11, // name and comment are UTF-8
    MaskedHeaderValues = 1 << 13,
};

constexpr bool HasFlag(uint16_t generalPurposeBitFlag, TZipFlag flag) {
    return (generalPurposeBitFlag & static_cast<uint16_t>(flag)) != 0;
}

// Upper byte of "version made by": the system whose attributes the external attributes hold.
enum class TZipHost : uint8_t {
    MsDos = 0,
    Amiga = 1,
    OpenVms = 2,
    Unix = 3,
    VmCms = 4,
    AtariSt = 5,
    Os2Hpfs = 6,
    Macintosh = 7,
    ZSystem = 8,
    Cpm = 9,
    WindowsNtfs = 10,
    Mvs = 11,
    Vse = 12,
    AcornRisc = 13,
    Vfat = 14,
    AlternateMvs = 15,
    BeOs = 16,
    Tandem = 17,
    Os400 = 18,
    Darwin = 19,
};

} // namespace kalmora
