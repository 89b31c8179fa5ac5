#include "ZipRecords.h"

namespace kalmora {

uint8_t TLittleEndianReader::U8() {
    if (Remaining() < 1) {
        FOk = false;
        FPos = FData.size();
        return 0;
    }
    return FData[FPos++];
}

uint16_t TLittleEndianReader::U16() {
    uint16_t lo = U8();
    uint16_t hi = U8();
    return static_cast<uint16_t>(lo | hi << 8);
}

uint32_t TLittleEndianReader::U32() {
    uint32_t lo = U16();
    uint32_t hi = U16();
    return lo | hi << 16;
}

uint64_t TLittleEndianReader::U64() {
    uint64_t lo = U32();
    uint64_t hi = U32();
    return lo | hi << 32;
}

std::span<const uint8_t> TLittleEndianReader::Bytes(size_t count) {
    if (Remaining() < count) {
        FOk = false;
        FPos = FData.size();
        return {};
    }
    auto part = FData.subspan(FPos, count);
    FPos += count;
    return part;
}

namespace {

template <class T> T ReadField(TLittleEndianReader& in) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
    if constexpr (sizeof(T) == 2)
        return in.U16();
    else if constexpr (sizeof(T) == 4)
        return in.U32();
    else
        return in.U64();
}

template <class Disk, class Count, class Size>
void ReadEndFields(TLittleEndianReader& in, CentralDirectoryEndFields<Disk, Count, Size>& r) {
    r.numberOfThisDisk = ReadField<Disk>(in);
    r.diskWhereCentralDirectoryStarts = ReadField<Disk>(in);
    r.entriesOnThisDisk = ReadField<Count>(in);
    r.totalEntries = ReadField<Count>(in);
    r.sizeOfCentralDirectory = ReadField<Size>(in);
    r.offsetOfCentralDirectory = ReadField<Size>(in);
}

// The sizes are 32 bits on disk in both headers.
template <class Size> void ReadFileHeaderFields(TLittleEndianReader& in, FileHeaderFields<Size>& r) {
    r.versionNeededToExtract = in.U16();
    r.generalPurposeBitFlag = in.U16();
    r.compressionMethod = static_cast<TZipMethod>(in.U16());
    r.lastModFileTime = in.U16();
    r.lastModFileDate = in.U16();
    r.crc32 = in.U32();
    r.compressedSize = in.U32();
    r.uncompressedSize = in.U32();
    r.fileNameLength = in.U16();
    r.extraFieldLength = in.U16();
}

} // namespace

std::optional<EndOfCentralDirectoryRecord> ParseEndOfCentralDirectory(std::span<const uint8_t> bytes) {
    TLittleEndianReader in(bytes);
    if (bytes.size() < EndOfCentralDirectoryRecord::FixedSize || in.U32() != EndOfCentralDirSignature)
        return std::nullopt;
    EndOfCentralDirectoryRecord r;
    ReadEndFields(in, r);
    r.commentLength = in.U16();
    return r;
}

std::optional<Zip64EndOfCentralDirectoryLocator> ParseZip64Locator(std::span<const uint8_t> bytes) {
    TLittleEndianReader in(bytes);
    if (bytes.size() < Zip64EndOfCentralDirectoryLocator::FixedSize ||
        in.U32() != Zip64EndOfCentralDirLocatorSignature)
        return std::nullopt;
    Zip64EndOfCentralDirectoryLocator r;
    r.diskWithZip64EndOfCentralDirectory = in.U32();
    r.offsetOfZip64EndOfCentralDirectory = in.U64();
    r.totalNumberOfDisks = in.U32();
    return r;
}

std::optional<Zip64EndOfCentralDirectoryRecord>
ParseZip64EndOfCentralDirectory(std::span<const uint8_t> bytes) {
    TLittleEndianReader in(bytes);
    if (bytes.size() < Zip64EndOfCentralDirectoryRecord::FixedSize ||
        in.U32() != Zip64EndOfCentralDirSignature)
        return std::nullopt;
    Zip64EndOfCentralDirectoryRecord r;
    r.sizeOfRecord = in.U64();
    r.versionMadeBy = in.U16();
    r.versionNeededToExtract = in.U16();
    ReadEndFields(in, r);
    return r;
}

std::optional<CentralDirectoryFileHeader> ParseCentralDirectoryFileHeader(std::span<const uint8_t> bytes) {
    TLittleEndianReader in(bytes);
    if (bytes.size() < CentralDirectoryFileHeader::FixedSize || in.U32() != CentralFileHeaderSignature)
        return std::nullopt;
    CentralDirectoryFileHeader r;
    r.versionMadeBy = in.U16();
    ReadFileHeaderFields(in, r);
    r.fileCommentLength = in.U16();
    r.diskNumberStart = in.U16();
    r.internalFileAttributes = in.U16();
    r.externalFileAttributes = in.U32();
    r.relativeOffsetOfLocalHeader = in.U32();
    return r;
}

std::optional<LocalFileHeader> ParseLocalFileHeader(std::span<const uint8_t> bytes) {
    TLittleEndianReader in(bytes);
    if (bytes.size() < LocalFileHeader::FixedSize || in.U32() != LocalFileHeaderSignature)
        return std::nullopt;
    LocalFileHeader r;
    ReadFileHeaderFields(in, r);
    return r;
}

std::optional<std::span<const uint8_t>> FindExtraField(std::span<const uint8_t> extra, uint16_t id) {
    TLittleEndianReader in(extra);
    while (in.Remaining() >= 4) {
        uint16_t headerId = in.U16();
        uint16_t dataSize = in.U16();
        if (dataSize > in.Remaining())
            return std::nullopt;
        auto data = in.Bytes(dataSize);
        if (headerId == id)
            return data;
    }
    return std::nullopt;
}

bool ApplyZip64ExtraField(CentralDirectoryFileHeader& header, std::span<const uint8_t> extra) {
    constexpr uint32_t AllOnes = 0xFFFFFFFF;
    bool needUncompressed = header.uncompressedSize == AllOnes;
    bool needCompressed = header.compressedSize == AllOnes;
    bool needOffset = header.relativeOffsetOfLocalHeader == AllOnes;
    bool needDisk = header.diskNumberStart == 0xFFFF;
    if (!needUncompressed && !needCompressed && !needOffset && !needDisk)
        return true;
    auto field = FindExtraField(extra, Zip64ExtraFieldId);
    if (!field)
        return false;
    TLittleEndianReader in(*field);
    if (needUncompressed)
        header.uncompressedSize = in.U64();
    if (needCompressed)
        header.compressedSize = in.U64();
    if (needOffset)
        header.relativeOffsetOfLocalHeader = in.U64();
    if (needDisk)
        header.diskNumberStart = in.U32();
    return in.Ok();
}

std::string EmptyArchiveBytes() {
    std::string bytes(EndOfCentralDirectoryRecord::FixedSize, '\0');
    bytes[0] = 'P';
    bytes[1] = 'K';
    bytes[2] = 5;
    bytes[3] = 6;
    return bytes;
}

} // namespace kalmora
