#pragma once

// The archive's on-disk records with their fields as PKWARE names them, and their little-endian parsers.
// Parsers check only the signature and the record's own length; the directory reader checks how they fit.

#include "zip/ZipCodes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kalmora {

inline constexpr uint32_t LocalFileHeaderSignature = 0x04034b50;
inline constexpr uint32_t CentralFileHeaderSignature = 0x02014b50;
inline constexpr uint32_t EndOfCentralDirSignature = 0x06054b50;
inline constexpr uint32_t Zip64EndOfCentralDirSignature = 0x06064b50;
inline constexpr uint32_t Zip64EndOfCentralDirLocatorSignature = 0x07064b50;
inline constexpr uint32_t SpanningSignature = 0x08074b50;

inline constexpr uint16_t Zip64ExtraFieldId = 0x0001;
inline constexpr uint16_t UnicodePathExtraFieldId = 0x7075;
inline constexpr uint16_t XceedUnicodeExtraFieldId = 0x554e;

// Reads little-endian fields from a byte span; reading past its end yields zeros and marks it bad.
class TLittleEndianReader {
public:
    explicit TLittleEndianReader(std::span<const uint8_t> data) : FData(data) {}
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    std::span<const uint8_t> Bytes(size_t count);
    size_t Position() const { return FPos; }
    size_t Remaining() const { return FData.size() - FPos; }
    bool Ok() const { return FOk; }

private:
    std::span<const uint8_t> FData;
    size_t FPos = 0;
    bool FOk = true;
};

// The fields both end records hold in the same order, each record with its own widths.
template <class Disk, class Count, class Size> struct CentralDirectoryEndFields {
    Disk numberOfThisDisk = 0;
    Disk diskWhereCentralDirectoryStarts = 0;
    Count entriesOnThisDisk = 0;
    Count totalEntries = 0;
    Size sizeOfCentralDirectory = 0;
    Size offsetOfCentralDirectory = 0;
};

struct EndOfCentralDirectoryRecord : CentralDirectoryEndFields<uint16_t, uint16_t, uint32_t> {
    static constexpr size_t FixedSize = 22;
    uint16_t commentLength = 0;
};

struct Zip64EndOfCentralDirectoryLocator {
    static constexpr size_t FixedSize = 20;
    uint32_t diskWithZip64EndOfCentralDirectory = 0;
    uint64_t offsetOfZip64EndOfCentralDirectory = 0;
    uint32_t totalNumberOfDisks = 0;
};

struct Zip64EndOfCentralDirectoryRecord : CentralDirectoryEndFields<uint32_t, uint64_t, uint64_t> {
    static constexpr size_t FixedSize = 56;
    uint64_t sizeOfRecord = 0;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeededToExtract = 0;
};

// The fields the central and the local header share, in the same order in both. The central header widens
// the sizes from the Zip64 extra field.
template <class Size> struct FileHeaderFields {
    uint16_t versionNeededToExtract = 0;
    uint16_t generalPurposeBitFlag = 0;
    TZipMethod compressionMethod = TZipMethod::Stored;
    uint16_t lastModFileTime = 0;
    uint16_t lastModFileDate = 0;
    uint32_t crc32 = 0;
    Size compressedSize = 0;
    Size uncompressedSize = 0;
    uint16_t fileNameLength = 0;
    uint16_t extraFieldLength = 0;
};

struct CentralDirectoryFileHeader : FileHeaderFields<uint64_t> {
    static constexpr size_t FixedSize = 46;
    uint16_t versionMadeBy = 0;
    uint16_t fileCommentLength = 0;
    uint32_t diskNumberStart = 0;
    uint16_t internalFileAttributes = 0;
    uint32_t externalFileAttributes = 0;
    uint64_t relativeOffsetOfLocalHeader = 0;
};

struct LocalFileHeader : FileHeaderFields<uint32_t> {
    static constexpr size_t FixedSize = 30;
};

// Each parser takes the bytes from the record's signature on; nullopt when the signature is wrong or the
// bytes are too few for the fixed part.
std::optional<EndOfCentralDirectoryRecord> ParseEndOfCentralDirectory(std::span<const uint8_t> bytes);
std::optional<Zip64EndOfCentralDirectoryLocator> ParseZip64Locator(std::span<const uint8_t> bytes);
std::optional<Zip64EndOfCentralDirectoryRecord>
ParseZip64EndOfCentralDirectory(std::span<const uint8_t> bytes);
std::optional<CentralDirectoryFileHeader> ParseCentralDirectoryFileHeader(std::span<const uint8_t> bytes);
std::optional<LocalFileHeader> ParseLocalFileHeader(std::span<const uint8_t> bytes);

// The data of the first extra field with the given id inside an extra field block, if any. A block whose
// last field claims more bytes than are left ends the search there.
std::optional<std::span<const uint8_t>> FindExtraField(std::span<const uint8_t> extra, uint16_t id);

// Widens the 32-bit fields that hold all ones from the Zip64 extra field, in the order the format fixes.
// Returns false when a field needed is missing from the extra data.
bool ApplyZip64ExtraField(CentralDirectoryFileHeader& header, std::span<const uint8_t> extra);

// The empty archive: an end of central directory record alone.
std::string EmptyArchiveBytes();

} // namespace kalmora
