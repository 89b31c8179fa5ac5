#include "ZipCentralDirectory.h"

#include "ZipErrors.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>

namespace kalmora {

namespace {

constexpr uint64_t MaxCommentLength = 0xFFFF;

struct TEndRecordPosition {
    uint64_t offset;
    EndOfCentralDirectoryRecord record;
};

// Searches backwards, so a record-like comment of an archive appended to another finds the outer record.
std::optional<TEndRecordPosition> FindEndRecord(TZipSource& source) {
    uint64_t size = source.Size();
    if (size < EndOfCentralDirectoryRecord::FixedSize)
        return std::nullopt;
    uint64_t tailSize = std::min<uint64_t>(size, EndOfCentralDirectoryRecord::FixedSize + MaxCommentLength);
    std::vector<uint8_t> tail(tailSize);
    uint64_t tailStart = size - tailSize;
    ReadExactAt(source, tailStart, tail, "end of central directory");
    std::optional<TEndRecordPosition> truncatedComment;
    for (size_t pos = tail.size() - EndOfCentralDirectoryRecord::FixedSize + 1; pos-- > 0;) {
        if (tail[pos] != 'P' || tail[pos + 1] != 'K' || tail[pos + 2] != 5 || tail[pos + 3] != 6)
            continue;
        auto record = ParseEndOfCentralDirectory(std::span(tail).subspan(pos));
        if (!record)
            continue;
        if (pos + EndOfCentralDirectoryRecord::FixedSize + record->commentLength <= tail.size())
            return TEndRecordPosition{tailStart + pos, *record};
        // A comment length running past the end of the file: kept as a last resort.
        if (!truncatedComment)
            truncatedComment = TEndRecordPosition{tailStart + pos, *record};
    }
    return truncatedComment;
}

bool HasSignatureAt(TZipSource& source, uint64_t offset, uint32_t signature) {
    std::array<uint8_t, 4> bytes{};
    if (source.ReadAt(offset, bytes) != bytes.size())
        return false;
    return TLittleEndianReader(bytes).U32() == signature;
}

struct TDirectoryLocation {
    uint64_t totalEntries = 0;
    uint64_t size = 0;
    uint64_t storedOffset = 0;
    uint64_t end = 0; // the first byte after the directory: the Zip64 record or the end record
    bool zip64 = false;
};

bool NeedsZip64(const EndOfCentralDirectoryRecord& eocd) {
    return eocd.numberOfThisDisk == 0xFFFF || eocd.diskWhereCentralDirectoryStarts == 0xFFFF ||
           eocd.entriesOnThisDisk == 0xFFFF || eocd.totalEntries == 0xFFFF ||
           eocd.sizeOfCentralDirectory == 0xFFFFFFFF || eocd.offsetOfCentralDirectory == 0xFFFFFFFF;
}

std::optional<TDirectoryLocation> LocateZip64Directory(TZipSource& source, uint64_t endOffset) {
    if (endOffset < Zip64EndOfCentralDirectoryLocator::FixedSize)
        return std::nullopt;
    uint64_t locatorOffset = endOffset - Zip64EndOfCentralDirectoryLocator::FixedSize;
    std::array<uint8_t, Zip64EndOfCentralDirectoryLocator::FixedSize> locatorBytes{};
    ReadExactAt(source, locatorOffset, locatorBytes, "Zip64 end of central directory locator");
    auto locator = ParseZip64Locator(locatorBytes);
    if (!locator)
        return std::nullopt;
    if (locator->diskWithZip64EndOfCentralDirectory != 0 || locator->totalNumberOfDisks > 1)
        throw EAbZipInvalid("archive spans several disks (Zip64 locator)");
    // The record normally sits where the locator says; with a stub in front it sits just before the locator.
    uint64_t recordOffset = locator->offsetOfZip64EndOfCentralDirectory;
    if (recordOffset >= locatorOffset ||
        !HasSignatureAt(source, recordOffset, Zip64EndOfCentralDirSignature)) {
        if (locatorOffset < Zip64EndOfCentralDirectoryRecord::FixedSize)
            return std::nullopt;
        recordOffset = locatorOffset - Zip64EndOfCentralDirectoryRecord::FixedSize;
    }
    std::array<uint8_t, Zip64EndOfCentralDirectoryRecord::FixedSize> recordBytes{};
    if (source.ReadAt(recordOffset, recordBytes) != recordBytes.size())
        return std::nullopt;
    auto record = ParseZip64EndOfCentralDirectory(recordBytes);
    if (!record)
        return std::nullopt;
    if (record->numberOfThisDisk != 0 || record->diskWhereCentralDirectoryStarts != 0)
        throw EAbZipInvalid("archive spans several disks (Zip64 end of central directory)");
    return TDirectoryLocation{record->totalEntries, record->sizeOfCentralDirectory,
                              record->offsetOfCentralDirectory, recordOffset, true};
}

TDirectoryLocation LocateDirectory(TZipSource& source, const TEndRecordPosition& end) {
    const auto& eocd = end.record;
    // Bytes that look like a Zip64 locator may be the tail of a stored name; they count only when the end
    // record itself points to Zip64 or they lead to a real Zip64 record.
    auto zip64 = LocateZip64Directory(source, end.offset);
    if (zip64)
        return *zip64;
    if (NeedsZip64(eocd))
        throw EAbZipInvalid("end record needs a Zip64 record, and there is none");
    if (eocd.numberOfThisDisk != 0 || eocd.diskWhereCentralDirectoryStarts != 0)
        throw EAbZipInvalid("archive spans several disks");
    return {eocd.totalEntries, eocd.sizeOfCentralDirectory, eocd.offsetOfCentralDirectory, end.offset, false};
}

std::string EntryFault(const TZipDirectory& directory, std::string_view fault) {
    return "central directory entry " + std::to_string(directory.items.size() + 1) + " " + std::string(fault);
}

} // namespace

bool IsZipArchive(TZipSource& source) {
    return source.Size() == 0 || FindEndRecord(source).has_value();
}

TZipDirectory ReadZipDirectory(TZipSource& source, TZipNameDecoder& names) {
    TZipDirectory directory;
    if (source.Size() == 0)
        return directory;
    if (HasSignatureAt(source, 0, SpanningSignature))
        throw EAbZipInvalid("split archive (spanning signature at its start)");
    auto end = FindEndRecord(source);
    if (!end)
        throw EAbUnhandledType();
    TDirectoryLocation where = LocateDirectory(source, *end);
    if (where.size > where.end)
        throw EAbZipInvalid("central directory size larger than the bytes in front of the end record");

    // Offsets count from the archive's first byte; when the directory is not where its offset says but ends
    // right before the end records, something was put in front of the archive.
    uint64_t start = where.end - where.size;
    if (where.storedOffset >= source.Size() && where.totalEntries > 0)
        throw EAbZipInvalid("central directory offset beyond end of file");
    if (where.storedOffset > start)
        throw EAbZipInvalid("central directory offset overlaps the end record");
    if (where.totalEntries > 0 && where.storedOffset != start &&
        HasSignatureAt(source, where.storedOffset, CentralFileHeaderSignature))
        start = where.storedOffset;
    directory.archiveStart = start - where.storedOffset;
    directory.centralDirectoryStart = start;

    std::vector<uint8_t> bytes(where.size);
    if (source.ReadAt(start, bytes) != bytes.size())
        throw EAbZipInvalid("central directory cut short");
    directory.items.reserve(
        std::min<uint64_t>(where.totalEntries, bytes.size() / CentralDirectoryFileHeader::FixedSize));

    std::span<const uint8_t> rest(bytes);
    while (rest.size() >= CentralDirectoryFileHeader::FixedSize) {
        auto header = ParseCentralDirectoryFileHeader(rest);
        if (!header)
            break; // a digital signature record or padding may follow the last header
        size_t variable =
            size_t{header->fileNameLength} + header->extraFieldLength + header->fileCommentLength;
        if (rest.size() - CentralDirectoryFileHeader::FixedSize < variable)
            throw EAbZipInvalid(EntryFault(directory, "runs past the end of the central directory"));
        auto name = rest.subspan(CentralDirectoryFileHeader::FixedSize, header->fileNameLength);
        auto extra = rest.subspan(CentralDirectoryFileHeader::FixedSize + header->fileNameLength,
                                  header->extraFieldLength);
        if (!ApplyZip64ExtraField(*header, extra))
            throw EAbZipInvalid(EntryFault(directory, "lacks the Zip64 extra field its sizes need"));
        if (header->diskNumberStart != 0)
            throw EAbZipInvalid(EntryFault(directory, "starts on another disk"));
        TZipItem item;
        item.header = *header;
        item.rawFileName.assign(name.begin(), name.end());
        item.fileName = names.Decode(*header, name, extra);
        // With a Unix mode the low attribute bits are not MS-DOS attributes (some writers fill them with
        // ones).
        bool directoryAttribute = item.HasUnixMode()
                                      ? S_ISDIR(item.UnixMode())
                                      : (header->externalFileAttributes & MsDosDirectoryAttribute) != 0;
        item.isFolder = directoryAttribute || (!item.fileName.empty() && item.fileName.back() == '/');
        directory.items.push_back(std::move(item));
        rest = rest.subspan(CentralDirectoryFileHeader::FixedSize + variable);
    }
    uint64_t found = directory.items.size();
    // Writers without Zip64 let the 16-bit count wrap past 65535 entries.
    bool countMatches =
        found == where.totalEntries || (!where.zip64 && (found & 0xFFFF) == where.totalEntries);
    if (!countMatches)
        throw EAbZipInvalid("central directory holds " + std::to_string(found) +
                            " entries, the end record says " + std::to_string(where.totalEntries));
    return directory;
}

} // namespace kalmora
